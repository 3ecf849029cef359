// Maps: a string-keyed map under a stream of inserts, lookups and deletes on keys built at run
// time, then a walk over the keys that remain. A side array says which keys are in the map, so
// that no program reads a key that is not there.
if (typeof print === 'undefined') print = console.log;

function main() {
    var seed = 11, sum = 0, live = 0, n = 6000, steps = 2500000, present = [], m = {};
    var i, j, key, op, k, count = 0, chars = 0;
    for (i = 0; i < n; i++) present[i] = false;
    for (i = 0; i < steps; i++) {
        seed = (seed * 16807) % 2147483647;
        j = seed % n;
        op = (seed >> 8) % 8;
        key = "key" + j + "x";
        if (present[j]) {
            if (op == 0) {
                delete m[key];
                present[j] = false;
                live--;
            } else {
                sum = (sum + m[key] * (op + 1)) % 1000003;
                m[key] = (m[key] + op) % 997;
            }
        } else {
            m[key] = j % 97;
            present[j] = true;
            live++;
        }
    }
    for (k in m) {
        count++;
        chars = chars + k.length;
    }
    print("maps " + sum + " " + live + " " + count + " " + chars);
}

main();
