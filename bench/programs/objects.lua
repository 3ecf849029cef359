-- Objects: particles with six fields bounce inside a box whose size is read from a settings
-- table; each step also makes a small record per particle. Field reads and writes dominate.
local function makeParticle(i)
    local p = {}
    p.x = (i * 37) % 1000
    p.y = (i * 91) % 1000
    p.vx = (i % 7) + 1
    p.vy = (i % 5) + 2
    p.bounces = 0
    p.last = false  -- a nil field would not exist; false keeps the slot like the others' null
    return p
end

local function main()
    local box = { width = 1000, height = 1000, margin = 0, speed = 1, steps = 0 }
    local particles, n, sum = {}, 100, 0
    for i = 0, n - 1 do particles[#particles + 1] = makeParticle(i) end
    for _ = 1, 27000 do
        for i = 1, n do
            local p = particles[i]
            p.x = p.x + p.vx * box.speed
            p.y = p.y + p.vy * box.speed
            if p.x < box.margin or p.x > box.width then
                p.vx = -p.vx
                p.bounces = p.bounces + 1
            end
            if p.y < box.margin or p.y > box.height then
                p.vy = -p.vy
                p.bounces = p.bounces + 1
            end
            local rec = { px = p.x, py = p.y }
            p.last = rec
        end
        box.steps = box.steps + 1
    end
    for i = 1, n do
        local p = particles[i]
        sum = (sum + (p.x + 10) * 3 + (p.y + 10) * 5 + p.bounces + p.last.px) % 1000003
    end
    print("objects " .. sum .. " " .. box.steps)
end

main()
