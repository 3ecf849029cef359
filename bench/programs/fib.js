// Recursive calls: the naive Fibonacci recursion, about 18 million calls.
if (typeof print === 'undefined') print = console.log;

function fib(n) {
    if (n < 2) return n;
    return fib(n - 1) + fib(n - 2);
}

function main() {
    var n = 34;
    print("fib(" + n + ") = " + fib(n));
}

main();
