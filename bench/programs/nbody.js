// Floating point through object properties: the five-body planetary simulation (Sun and the
// four gas giants), energy before and after, written as integers in units of 1e-9.
if (typeof print === 'undefined') print = console.log;

var PI = 3.141592653589793;
var SOLAR_MASS = 4 * PI * PI;
var DAYS_PER_YEAR = 365.24;

function body(x, y, z, vx, vy, vz, mass) {
    var b = {};
    b.x = x;
    b.y = y;
    b.z = z;
    b.vx = vx * DAYS_PER_YEAR;
    b.vy = vy * DAYS_PER_YEAR;
    b.vz = vz * DAYS_PER_YEAR;
    b.mass = mass * SOLAR_MASS;
    return b;
}

function makeSystem() {
    var bodies = [];
    bodies.push(body(0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0));
    bodies.push(body(4.84143144246472090e+00, -1.16032004402742839e+00, -1.03622044471123109e-01,
                     1.66007664274403694e-03, 7.69901118419740425e-03, -6.90460016972063023e-05,
                     9.54791938424326609e-04));
    bodies.push(body(8.34336671824457987e+00, 4.12479856412430479e+00, -4.03523417114321381e-01,
                     -2.76742510726862411e-03, 4.99852801234917238e-03, 2.30417297573763929e-05,
                     2.85885980666130812e-04));
    bodies.push(body(1.28943695621391310e+01, -1.51111514016986312e+01, -2.23307578892655734e-01,
                     2.96460137564761618e-03, 2.37847173959480950e-03, -2.96589568540237556e-05,
                     4.36624404335156298e-05));
    bodies.push(body(1.53796971148509165e+01, -2.59193146099879641e+01, 1.79258772950371181e-01,
                     2.68067772490389322e-03, 1.62824170038242295e-03, -9.51592254519715870e-05,
                     5.15138902046611451e-05));
    var px = 0.0, py = 0.0, pz = 0.0, i, b;
    for (i = 0; i < bodies.length; i++) {
        b = bodies[i];
        px = px + b.vx * b.mass;
        py = py + b.vy * b.mass;
        pz = pz + b.vz * b.mass;
    }
    b = bodies[0];
    b.vx = -px / SOLAR_MASS;
    b.vy = -py / SOLAR_MASS;
    b.vz = -pz / SOLAR_MASS;
    return bodies;
}

function advance(bodies, dt) {
    var n = bodies.length, i, j, bi, bj, dx, dy, dz, d2, mag;
    for (i = 0; i < n; i++) {
        bi = bodies[i];
        for (j = i + 1; j < n; j++) {
            bj = bodies[j];
            dx = bi.x - bj.x;
            dy = bi.y - bj.y;
            dz = bi.z - bj.z;
            d2 = dx * dx + dy * dy + dz * dz;
            mag = dt / (d2 * Math.sqrt(d2));
            bi.vx = bi.vx - dx * bj.mass * mag;
            bi.vy = bi.vy - dy * bj.mass * mag;
            bi.vz = bi.vz - dz * bj.mass * mag;
            bj.vx = bj.vx + dx * bi.mass * mag;
            bj.vy = bj.vy + dy * bi.mass * mag;
            bj.vz = bj.vz + dz * bi.mass * mag;
        }
    }
    for (i = 0; i < n; i++) {
        bi = bodies[i];
        bi.x = bi.x + dt * bi.vx;
        bi.y = bi.y + dt * bi.vy;
        bi.z = bi.z + dt * bi.vz;
    }
}

function energy(bodies) {
    var e = 0.0, n = bodies.length, i, j, bi, bj, dx, dy, dz;
    for (i = 0; i < n; i++) {
        bi = bodies[i];
        e = e + 0.5 * bi.mass * (bi.vx * bi.vx + bi.vy * bi.vy + bi.vz * bi.vz);
        for (j = i + 1; j < n; j++) {
            bj = bodies[j];
            dx = bi.x - bj.x;
            dy = bi.y - bj.y;
            dz = bi.z - bj.z;
            e = e - (bi.mass * bj.mass) / Math.sqrt(dx * dx + dy * dy + dz * dz);
        }
    }
    return e;
}

function main() {
    var bodies = makeSystem(), steps = 180000, i;
    var before = Math.round(energy(bodies) * 1e9);
    for (i = 0; i < steps; i++) advance(bodies, 0.01);
    print("nbody " + before + " " + Math.round(energy(bodies) * 1e9));
}

main();
