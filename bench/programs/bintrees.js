// Allocation and collection: binary trees of many depths are built and walked, most of them
// garbage at once, beside one long-lived tree that stays reachable throughout.
if (typeof print === 'undefined') print = console.log;

function make(depth) {
    if (depth == 0) return { left: null, right: null };
    return { left: make(depth - 1), right: make(depth - 1) };
}

function check(node) {
    if (node.left == null) return 1;
    return 1 + check(node.left) + check(node.right);
}

function main() {
    var minDepth = 4, maxDepth = 14, total = 0, depth, iterations, i, sum;
    total = check(make(maxDepth + 1));
    var longLived = make(maxDepth);
    for (depth = minDepth; depth <= maxDepth; depth = depth + 2) {
        iterations = 1 << (maxDepth - depth + minDepth);
        sum = 0;
        for (i = 0; i < iterations; i++) sum = sum + check(make(depth));
        total = (total + sum) % 1000003;
    }
    print("bintrees " + total + " " + check(longLived));
}

main();
