// Strings: build a record text by concatenation, count a key with indexOf, then walk its fields
// with indexOf, substring and charAt.
if (typeof print === 'undefined') print = console.log;

function main() {
    var total = 0, round, i, s, pos, end, hits, field;
    for (round = 0; round < 4500; round++) {
        s = "";
        for (i = 0; i < 300; i++) s = s + ("item" + ((i * 7 + round) % 100) + ";");
        hits = 0;
        pos = s.indexOf("item42;", 0);
        while (pos >= 0) {
            hits++;
            pos = s.indexOf("item42;", pos + 1);
        }
        pos = 0;
        while (pos < s.length) {
            end = s.indexOf(";", pos);
            field = s.substring(pos + 4, end);
            total = (total + field.length * 3 + hits) % 1000003;
            if (s.charAt(end - 1) == "7") total = total + 1;
            pos = end + 1;
        }
    }
    print("strings " + total + " " + s.length);
}

main();
