// Method calls through prototype chains: a ring of tasks of four kinds passes a value along,
// and a scheduler counts the work. Task is the root; Adder and Scaler derive from it; Doubler
// derives from Adder, so a Doubler finds run() three links up its chain.
if (typeof print === 'undefined') print = console.log;

var MODULUS = 1000003;

var Task = {};
Task.init = function (id, k) {
    this.id = id;
    this.k = k;
    this.runs = 0;
    this.next = null;
};
Task.run = function (v) {
    this.runs = this.runs + 1;
    return this.work(v);
};
Task.work = function (v) {
    return v;
};
Task.weight = function () {
    return this.runs * (this.id + 1);
};

var Adder = Object.create(Task);
Adder.work = function (v) {
    return this.add(v);
};
Adder.add = function (v) {
    return (v + this.k) % MODULUS;
};

var Doubler = Object.create(Adder);
Doubler.work = function (v) {
    return this.add(this.add(v));
};

var Scaler = Object.create(Task);
Scaler.work = function (v) {
    return (v * this.k + 1) % MODULUS;
};

var Relay = Object.create(Task);
Relay.attach = function (target) {
    this.target = target;
};
Relay.work = function (v) {
    return this.target.run(v + this.k);
};

var Scheduler = {};
Scheduler.init = function () {
    this.first = null;
    this.last = null;
    this.count = 0;
};
Scheduler.add = function (task) {
    if (this.first == null) this.first = task;
    else this.last.next = task;
    this.last = task;
    this.count = this.count + 1;
};
Scheduler.close = function () {
    this.last.next = this.first;
};
Scheduler.loop = function (steps) {
    var task = this.first, v = 1, i;
    for (i = 0; i < steps; i++) {
        v = task.run(v);
        task = task.next;
    }
    return v;
};
Scheduler.total = function () {
    var task = this.first, sum = 0, i;
    for (i = 0; i < this.count; i++) {
        sum = (sum + task.weight()) % MODULUS;
        task = task.next;
    }
    return sum;
};

function main() {
    var s = Object.create(Scheduler), i, t, spare;
    s.init();
    for (i = 0; i < 24; i++) {
        if (i % 4 == 0) {
            t = Object.create(Adder);
            t.init(i, i + 3);
        } else if (i % 4 == 1) {
            t = Object.create(Scaler);
            t.init(i, (i % 9) + 2);
        } else if (i % 4 == 2) {
            t = Object.create(Doubler);
            t.init(i, i * 5 + 1);
        } else {
            spare = Object.create(Scaler);
            spare.init(100 + i, 3);
            t = Object.create(Relay);
            t.init(i, i);
            t.attach(spare);
        }
        s.add(t);
    }
    s.close();
    var v = s.loop(3000000);
    print("oo " + v + " " + s.total());
}

main();
