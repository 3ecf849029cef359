// Matrix: square matrices held as arrays of row arrays: multiply, transpose and fold back into
// small integers, over and over.
if (typeof print === 'undefined') print = console.log;

function newMatrix(n, seed) {
    var m = [], i, j, row;
    for (i = 0; i < n; i++) {
        row = [];
        for (j = 0; j < n; j++) row[j] = (i * 31 + j * 17 + seed) % 10;
        m[i] = row;
    }
    return m;
}

function multiply(a, b, n) {
    var c = [], i, j, k, row, ai, s;
    for (i = 0; i < n; i++) {
        row = [];
        ai = a[i];
        for (j = 0; j < n; j++) {
            s = 0;
            for (k = 0; k < n; k++) s = s + ai[k] * b[k][j];
            row[j] = s % 1009;
        }
        c[i] = row;
    }
    return c;
}

function transpose(a, n) {
    var t = [], i, j, row;
    for (i = 0; i < n; i++) {
        row = [];
        for (j = 0; j < n; j++) row[j] = a[j][i];
        t[i] = row;
    }
    return t;
}

function main() {
    var n = 60, a = newMatrix(n, 3), b = newMatrix(n, 7), round, i, sum = 0;
    for (round = 0; round < 180; round++) {
        a = multiply(a, b, n);
        b = transpose(a, n);
        for (i = 0; i < n; i++) sum = (sum + a[i][(i * 7) % n] * (i + 1) + b[i][n - 1 - i]) % 1000003;
        a[round % n][round % n] = (a[round % n][round % n] + round) % 1009;
    }
    print("matrix " + sum + " " + a[n - 1][n - 1] + " " + b[0][1]);
}

main();
