#!/usr/bin/env python3
"""Checks encodeURI, encodeURIComponent, decodeURI and decodeURIComponent against node on the same texts.

Every text is built from its UTF-16 code units (String.fromCharCode on both sides), and every result is
written as its code units, so the comparison is exact whatever the trace's code page. Where node throws
URIError, velmo writes "Invalid URI string" to the trace and gives undefined; node's side writes the same
two lines for the error.
Usage: uri_node_test.py --velmo VELMO [--runner WORD ...]
"""
import argparse
import os
import pathlib
import subprocess
import sys
import tempfile

FUNCTIONS = ["encodeURI", "encodeURIComponent", "decodeURI", "decodeURIComponent"]


def units(text):
    """The UTF-16 code units of a Python string; lone surrogates are written as themselves."""
    out = []
    for ch in text:
        cp = ord(ch)
        if cp >= 0x10000:
            cp -= 0x10000
            out += [0xD800 + (cp >> 10), 0xDC00 + (cp & 0x3FF)]
        else:
            out.append(cp)
    return out


def inputs():
    texts = [[c] for c in range(128)]  # every ASCII character alone
    texts.append(list(range(128)))  # and all together
    texts.append(units(";/?:@&=+$,#-_.!~*'()% "))
    for octet in range(256):  # every escape, both cases of its digits
        texts.append(units(f"%{octet:02X}"))
        texts.append(units(f"%{octet:02x}x"))
    for code in [0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x20AC, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF]:
        texts.append([code, 0x41])
    for astral in ["\U00010000", "\U0001F600", "\U0010FFFF", "a\U0001F600b"]:
        texts.append(units(astral))
    # Lone and reversed surrogates.
    texts += [[0xD800], [0xDBFF, 0x41], [0xDC00], [0x41, 0xDFFF], [0xDC00, 0xD800], [0xD800, 0xD800, 0xDC00]]
    sequences = [
        "%C3%A9", "%c3%a9", "%E2%82%AC", "%F0%9F%98%80", "%F4%8F%BF%BF",  # well formed
        "%C0%80", "%C1%BF", "%E0%80%80", "%E0%9F%BF", "%F0%80%80%80", "%F0%8F%BF%BF",  # overlong
        "%ED%A0%80", "%ED%BF%BF", "%ED%9F%BF",  # surrogates encoded, and the last code point before them
        "%F4%90%80%80", "%F5%80%80%80", "%F8%88%80%80%80", "%FC%84%80%80%80%80", "%FE", "%FF",
        "%C3", "%C3%", "%C3%4", "%C3%41", "%C3%C3", "%E2%82", "%E2%82%", "%E2%82%A", "%E2%82%ACx",
        "%80", "%BF", "%", "%%", "%4", "%G0", "%0G", "a%2", "%2x", "%3B%2f%3F%3a%40%26%3D%2B%24%2C%23",
        "%25%2525", "100%", "%F0%9F%98", "%F0%9F%98%80%F0%9F%98", "%C3%A9%3B%C3%A9",
    ]
    texts += [units(s) for s in sequences]
    return texts


def velmo_script(texts):
    lines = [
        "function codes(s) { var out = ''; for (var i = 0; i < s.length; i++) out += (i ? '.' : '') + s.charCodeAt(i);"
        " return '[' + out + ']'; }",
        "function show(r) { trace(r === undefined ? 'undefined' : codes(r)); }",
    ]
    for text in texts:
        # A call takes at most 125 arguments.
        parts = [f"String.fromCharCode({', '.join(map(str, text[at:at + 100]))})" for at in range(0, len(text), 100)]
        lines.append(f"var t = {' + '.join(parts)};")
        lines += [f"show({f}(t));" for f in FUNCTIONS]
    return "\n".join(lines) + "\n"


def node_script(texts):
    return f"""const texts = {texts!r};
const codes = s => '[' + Array.from({{length: s.length}}, (_, i) => s.charCodeAt(i)).join('.') + ']';
const out = [];
for (const text of texts) {{
    const t = String.fromCharCode(...text);
    for (const f of [encodeURI, encodeURIComponent, decodeURI, decodeURIComponent]) {{
        try {{ out.push(codes(f(t))); }}
        catch (e) {{ if (!(e instanceof URIError)) throw e; out.push('Invalid URI string', 'undefined'); }}
    }}
}}
process.stdout.write(out.join('\\n') + '\\n');
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmo", required=True)
    parser.add_argument("--runner", action="append", default=[])
    args = parser.parse_args()
    args.velmo = os.path.abspath(args.velmo)
    texts = inputs()
    with tempfile.TemporaryDirectory() as folder:
        pathlib.Path(folder, "uri.qvs").write_text(velmo_script(texts))
        pathlib.Path(folder, "uri.js").write_text(node_script(texts))
        run = subprocess.run(args.runner + [args.velmo, "run", "uri.qvs"], cwd=folder, capture_output=True)
        node = subprocess.run(["node", "uri.js"], cwd=folder, capture_output=True, check=True)
    actual = run.stdout.decode("latin-1").replace("\r\n", "\n").splitlines()
    want = node.stdout.decode("ascii").splitlines()
    failures = [f"line {i + 1}: velmo {a}, node {w}" for i, (a, w) in enumerate(zip(actual, want)) if a != w]
    if run.returncode != 0 or len(actual) != len(want):
        failures.append(f"velmo ended with {run.returncode} after {len(actual)} lines, node gave {len(want)}: "
                        f"{run.stderr.decode('latin-1')}")
    for line in failures[:40]:
        print(line)
    print(f"{len(texts)} texts through {len(FUNCTIONS)} functions: {len(want) - len(failures)} of {len(want)} "
          "result lines agree with node")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
