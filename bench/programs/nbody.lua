-- Floating point through object properties: the five-body planetary simulation (Sun and the
-- four gas giants), energy before and after, written as integers in units of 1e-9.
local sqrt, floor = math.sqrt, math.floor

local PI = 3.141592653589793
local SOLAR_MASS = 4 * PI * PI
local DAYS_PER_YEAR = 365.24

local function body(x, y, z, vx, vy, vz, mass)
    local b = {}
    b.x = x
    b.y = y
    b.z = z
    b.vx = vx * DAYS_PER_YEAR
    b.vy = vy * DAYS_PER_YEAR
    b.vz = vz * DAYS_PER_YEAR
    b.mass = mass * SOLAR_MASS
    return b
end

local function makeSystem()
    local bodies = {}
    bodies[#bodies + 1] = body(0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0)
    bodies[#bodies + 1] = body(4.84143144246472090e+00, -1.16032004402742839e+00, -1.03622044471123109e-01,
                               1.66007664274403694e-03, 7.69901118419740425e-03, -6.90460016972063023e-05,
                               9.54791938424326609e-04)
    bodies[#bodies + 1] = body(8.34336671824457987e+00, 4.12479856412430479e+00, -4.03523417114321381e-01,
                               -2.76742510726862411e-03, 4.99852801234917238e-03, 2.30417297573763929e-05,
                               2.85885980666130812e-04)
    bodies[#bodies + 1] = body(1.28943695621391310e+01, -1.51111514016986312e+01, -2.23307578892655734e-01,
                               2.96460137564761618e-03, 2.37847173959480950e-03, -2.96589568540237556e-05,
                               4.36624404335156298e-05)
    bodies[#bodies + 1] = body(1.53796971148509165e+01, -2.59193146099879641e+01, 1.79258772950371181e-01,
                               2.68067772490389322e-03, 1.62824170038242295e-03, -9.51592254519715870e-05,
                               5.15138902046611451e-05)
    local px, py, pz = 0.0, 0.0, 0.0
    for i = 1, #bodies do
        local b = bodies[i]
        px = px + b.vx * b.mass
        py = py + b.vy * b.mass
        pz = pz + b.vz * b.mass
    end
    local b = bodies[1]
    b.vx = -px / SOLAR_MASS
    b.vy = -py / SOLAR_MASS
    b.vz = -pz / SOLAR_MASS
    return bodies
end

local function advance(bodies, dt)
    local n = #bodies
    for i = 1, n do
        local bi = bodies[i]
        for j = i + 1, n do
            local bj = bodies[j]
            local dx = bi.x - bj.x
            local dy = bi.y - bj.y
            local dz = bi.z - bj.z
            local d2 = dx * dx + dy * dy + dz * dz
            local mag = dt / (d2 * sqrt(d2))
            bi.vx = bi.vx - dx * bj.mass * mag
            bi.vy = bi.vy - dy * bj.mass * mag
            bi.vz = bi.vz - dz * bj.mass * mag
            bj.vx = bj.vx + dx * bi.mass * mag
            bj.vy = bj.vy + dy * bi.mass * mag
            bj.vz = bj.vz + dz * bi.mass * mag
        end
    end
    for i = 1, n do
        local bi = bodies[i]
        bi.x = bi.x + dt * bi.vx
        bi.y = bi.y + dt * bi.vy
        bi.z = bi.z + dt * bi.vz
    end
end

local function energy(bodies)
    local e, n = 0.0, #bodies
    for i = 1, n do
        local bi = bodies[i]
        e = e + 0.5 * bi.mass * (bi.vx * bi.vx + bi.vy * bi.vy + bi.vz * bi.vz)
        for j = i + 1, n do
            local bj = bodies[j]
            local dx = bi.x - bj.x
            local dy = bi.y - bj.y
            local dz = bi.z - bj.z
            e = e - (bi.mass * bj.mass) / sqrt(dx * dx + dy * dy + dz * dz)
        end
    end
    return e
end

-- Rounds half up, as Math.round does in the other languages.
local function round(x)
    return floor(x + 0.5)
end

local function main()
    local bodies, steps = makeSystem(), 180000
    local before = round(energy(bodies) * 1e9)
    for _ = 1, steps do advance(bodies, 0.01) end
    print("nbody " .. before .. " " .. round(energy(bodies) * 1e9))
end

main()
