// Objects: particles with six properties bounce inside a box whose size is read from a settings
// object; each step also makes a small record per particle. Property reads and writes dominate.
if (typeof print === 'undefined') print = console.log;

function makeParticle(i) {
    var p = {};
    p.x = (i * 37) % 1000;
    p.y = (i * 91) % 1000;
    p.vx = (i % 7) + 1;
    p.vy = (i % 5) + 2;
    p.bounces = 0;
    p.last = null;
    return p;
}

function main() {
    var box = { width: 1000, height: 1000, margin: 0, speed: 1, steps: 0 };
    var particles = [], n = 100, step, i, p, sum = 0, rec;
    for (i = 0; i < n; i++) particles.push(makeParticle(i));
    for (step = 0; step < 27000; step++) {
        for (i = 0; i < n; i++) {
            p = particles[i];
            p.x = p.x + p.vx * box.speed;
            p.y = p.y + p.vy * box.speed;
            if (p.x < box.margin || p.x > box.width) {
                p.vx = -p.vx;
                p.bounces = p.bounces + 1;
            }
            if (p.y < box.margin || p.y > box.height) {
                p.vy = -p.vy;
                p.bounces = p.bounces + 1;
            }
            rec = { px: p.x, py: p.y };
            p.last = rec;
        }
        box.steps = box.steps + 1;
    }
    for (i = 0; i < n; i++) {
        p = particles[i];
        sum = (sum + (p.x + 10) * 3 + (p.y + 10) * 5 + p.bounces + p.last.px) % 1000003;
    }
    print("objects " + sum + " " + box.steps);
}

main();
