// Integer loops: nested counting loops with multiplication, remainder, bitwise tests and a
// shifting bit count. Every intermediate value stays far below 2^31.
if (typeof print === 'undefined') print = console.log;

function main() {
    var acc = 0, count = 0, bits = 0;
    var i, j, k;
    for (i = 1; i <= 200000; i++) {
        for (j = 1; j <= 100; j++) {
            acc = (acc * 7 + i * j + (j & 15)) % 1000003;
            if ((acc & 3) == 0) count++;
        }
        k = i;
        while (k > 0) {
            bits = bits + (k & 1);
            k = k >> 1;
        }
    }
    print("loops " + acc + " " + count + " " + bits);
}

main();
