// Parser: generate arithmetic expressions as text, then evaluate them with a recursive-descent
// parser that reads the text one code unit at a time. Values stay below a prime modulus, so
// every language computes with exact integers.
if (typeof print === 'undefined') print = console.log;
var seed = 3, src = "", pos = 0, M = 1000003;

function next() {
    seed = (seed * 16807) % 2147483647;
    return seed;
}

function generate(parts, depth) {
    var r = next(), kind;
    if (depth == 0 || r % 8 == 0) {
        parts.push("" + (r % 1000));
        return;
    }
    kind = (r >> 4) % 4;
    if (kind == 3) {
        parts.push("(");
        generate(parts, depth - 1);
        parts.push(")");
        return;
    }
    generate(parts, depth - 1);
    if (kind == 0) parts.push("+");
    else if (kind == 1) parts.push("-");
    else parts.push("*");
    generate(parts, depth - 1);
}

function factor() {
    var c = src.charCodeAt(pos), v = 0;
    if (c == 40) {
        pos++;
        v = expression();
        pos++;
        return v;
    }
    while (pos < src.length) {
        c = src.charCodeAt(pos);
        if (c < 48 || c > 57) break;
        v = v * 10 + (c - 48);
        pos++;
    }
    return v;
}

function term() {
    var v = factor();
    while (pos < src.length && src.charCodeAt(pos) == 42) {
        pos++;
        v = (v * factor()) % M;
    }
    return v;
}

function expression() {
    var v = term(), c;
    while (pos < src.length) {
        c = src.charCodeAt(pos);
        if (c == 43) {
            pos++;
            v = (v + term()) % M;
        } else if (c == 45) {
            pos++;
            v = (v - term() + M) % M;
        } else break;
    }
    return v;
}

function main() {
    var sum = 0, chars = 0, round, parts;
    for (round = 0; round < 3200; round++) {
        parts = [];
        generate(parts, 12);
        src = parts.join("");
        pos = 0;
        sum = (sum + expression() * (round + 1)) % M;
        chars = chars + src.length;
    }
    print("parser " + sum + " " + chars);
}

main();
