// Arrays: fill by push from a Park-Miller generator, rewrite every element from its neighbour by
// index, sort with a comparison function, then sample the sorted order.
if (typeof print === 'undefined') print = console.log;

function ascending(a, b) {
    return a - b;
}

function main() {
    var seed = 42, sum = 0, n = 2000, round, i, a;
    for (round = 0; round < 400; round++) {
        a = [];
        for (i = 0; i < n; i++) {
            seed = (seed * 16807) % 2147483647;
            a.push(seed % 100000);
        }
        for (i = 1; i < n; i++) a[i] = (a[i] + a[i - 1]) % 100000;
        a.sort(ascending);
        for (i = 1; i < n; i++) if (a[i - 1] > a[i]) sum = sum + 1000000;
        for (i = 0; i < n; i = i + 7) sum = (sum + a[i] * (i + 1)) % 1000003;
    }
    print("arrays " + sum + " " + a.length);
}

main();
