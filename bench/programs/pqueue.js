// Priority queue: a binary heap of small objects (priority and id) in an array, with pushes and
// pops interleaved, then drained; ties in priority go by id, so every language pops the same order.
if (typeof print === 'undefined') print = console.log;

function before(a, b) {
    return a.pri < b.pri || (a.pri == b.pri && a.id < b.id);
}

function push(heap, item) {
    var i = heap.length, parent;
    heap.push(item);
    while (i > 0) {
        parent = (i - 1) >> 1;
        if (!before(item, heap[parent])) break;
        heap[i] = heap[parent];
        i = parent;
    }
    heap[i] = item;
}

function pop(heap) {
    var top = heap[0], last = heap.pop(), n = heap.length, i = 0, child;
    if (n == 0) return top;
    while (true) {
        child = 2 * i + 1;
        if (child >= n) break;
        if (child + 1 < n && before(heap[child + 1], heap[child])) child++;
        if (!before(heap[child], last)) break;
        heap[i] = heap[child];
        i = child;
    }
    heap[i] = last;
    return top;
}

function main() {
    var seed = 9, sum = 0, round, i, heap, item, popped = 0;
    for (round = 0; round < 14; round++) {
        heap = [];
        for (i = 0; i < 20000; i++) {
            seed = (seed * 16807) % 2147483647;
            push(heap, {pri: seed % 50000, id: i});
            if (i % 3 == 2) {
                item = pop(heap);
                sum = (sum + item.pri * 3 + item.id) % 1000003;
                popped++;
            }
        }
        while (heap.length > 0) {
            item = pop(heap);
            sum = (sum + item.pri + item.id * 7) % 1000003;
            popped++;
        }
    }
    print("pqueue " + sum + " " + popped);
}

main();
