// Sorting: build thousands of short words, join them into one text, split it again, sort the
// words by their text and then by length and text with a comparison function, sampling both
// orders.
if (typeof print === 'undefined') print = console.log;

function byLengthThenText(a, b) {
    if (a.length != b.length) return a.length - b.length;
    if (a < b) return -1;
    if (a > b) return 1;
    return 0;
}

function main() {
    var seed = 5, sum = 0, n = 3000, round, i, parts, words, text;
    for (round = 0; round < 120; round++) {
        parts = [];
        for (i = 0; i < n; i++) {
            seed = (seed * 16807) % 2147483647;
            parts.push("w" + (seed % 100000) + "-" + (i % 7));
        }
        text = parts.join(",");
        words = text.split(",");
        words.sort();
        for (i = 0; i < n; i = i + 13) sum = (sum + words[i].charCodeAt(1) * (i + 1) + words[i].length) % 1000003;
        words.sort(byLengthThenText);
        for (i = 0; i < n; i = i + 11) sum = (sum + words[i].charCodeAt(2) * (i + 3) + words[i].length) % 1000003;
    }
    print("sorting " + sum + " " + text.length + " " + words[n - 1]);
}

main();
