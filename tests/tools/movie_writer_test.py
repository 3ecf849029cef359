#!/usr/bin/env python3
"""The test-movie writer, run as its command: the headers it writes as the velmo tool reads them
(getMovieInfo in a played application), the stage colour and the order and text of the frame's
actions as a separate tag walker here reads them (getMovieInfo reports neither), and its refusals.
Usage: movie_writer_test.py --velmo VELMO
"""
import argparse
import os
import pathlib
import subprocess
import sys
import tempfile
import zlib

WRITER = pathlib.Path(__file__).resolve().parent.parent / "support" / "movie_writer.py"
failures = []


def check(what, ok, detail=""):
    print(("ok: " if ok else "FAILED: ") + what + ("" if ok else " " + detail))
    if not ok:
        failures.append(what)


def write(path, *options):
    return subprocess.run([sys.executable, str(WRITER), str(path), *options], capture_output=True, text=True)


def body_of(movie):
    return zlib.decompress(movie[8:]) if movie[:3] == b"CWS" else movie[8:]


def tags(body):
    at = ((5 + 4 * (body[0] >> 3) + 7) // 8) + 4  # past the frame RECT, rate and count
    while at < len(body):
        word = int.from_bytes(body[at:at + 2], "little")
        code, length, at = word >> 6, word & 0x3F, at + 2
        if length == 0x3F:
            length, at = int.from_bytes(body[at:at + 4], "little"), at + 4
        yield code, body[at:at + length]
        at += length


def action_strings(code):
    """Every string pushed or given to GetURL, in order, and the opcodes of the records."""
    strings, ops, at = [], [], 0
    while code[at]:
        op, at = code[at], at + 1
        ops.append(op)
        if op < 0x80:
            continue
        length = int.from_bytes(code[at:at + 2], "little")
        payload, at = code[at + 2:at + 2 + length], at + 2 + length
        if op == 0x83:
            strings += [s.decode("utf-8", "replace") for s in payload.split(b"\0")[:2]]
        while op == 0x96 and payload:
            kind, payload = payload[0], payload[1:]
            if kind == 0:
                text, _, payload = payload.partition(b"\0")
                strings.append(text.decode("utf-8", "replace"))
            else:
                payload = payload[{2: 0, 7: 4}[kind]:]
    return strings, ops


def check_headers(velmo, scratch):
    # Each row: options, then frame size, whole frames a second, version, compressed, background.
    rows = [
        ([], (320, 240), 12, 8, False, 0xFFFFFF),
        (["--compressed", "--size", "123x45", "--rate", "29.97", "--version", "10", "--background", "0a0B0c"],
         (123, 45), 29, 10, True, 0x0A0B0C),
        (["--size", "1x1", "--rate", "0.5", "--version", "6", "--rect", "0,0,1,1"], (1, 1), 0, 6, False, 0xFFFFFF),
        (["--compressed", "--size", "4000x3000", "--rect", "-10,-10,3500,20", "--background", "000000"],
         (4000, 3000), 12, 8, True, 0x000000),
    ]
    script = ["function show(p) { var i = FlashPlayer.getMovieInfo(p); if (!i) { trace('none'); return; }",
              "  var f = i.frameSize; trace([f.xMin, f.xMax, f.yMin, f.yMax, i.rate, i.frameCount, i.version, i.size].join()); }"]
    for n, row in enumerate(rows):
        result = write(scratch / f"m{n}.swf", *row[0])
        check(f"movie {n} written", result.returncode == 0, result.stderr)
        script.append(f"show('{scratch / f'm{n}.swf'}');")
    app = scratch / "app"
    app.mkdir()
    (app / "movie.swf").write_bytes((scratch / "m0.swf").read_bytes())
    (app / "init.qvs").write_text("\n".join(script) + "\nreturn true;\n")
    (app / "velmo.toml").write_text('[application]\nidentifier = "Velmo/MovieWriterTest\\\\V1.0"\n\n'
                                    '[movie]\nfile = "movie.swf"\n\n[scripts]\nInitialize = "init.qvs"\n')
    subprocess.run([velmo, "pack", str(app), "-o", str(scratch / "app.exe")], check=True, capture_output=True)
    play = subprocess.run([velmo, "play", str(scratch / "app.exe")], capture_output=True, text=True)
    seen = [line[len("[trace] "):] for line in play.stdout.splitlines() if line.startswith("[trace] ")]
    check("the played application read every movie", play.returncode == 0 and len(seen) == len(rows),
          play.stdout + play.stderr)
    for n, ((_, (w, h), rate, version, compressed, background), info) in enumerate(zip(rows, seen)):
        movie = (scratch / f"m{n}.swf").read_bytes()
        check(f"movie {n} is {'CWS' if compressed else 'FWS'}", movie[:3] == (b"CWS" if compressed else b"FWS"))
        length = 8 + len(body_of(movie))
        check(f"movie {n}'s header as velmo reads it", info == f"0,{w},0,{h},{rate},1,{version},{length}", info)
        colours = [int.from_bytes(t, "big") for code, t in tags(body_of(movie)) if code == 9]
        check(f"movie {n}'s stage colour", colours == [background], repr(colours))


def check_actions(scratch):
    # Quotes, backslashes, '=' and characters beyond ASCII and the BMP must reach the player intact.
    odd = "it's \"q\" \\ a=b é 日本 \U0001F600"
    result = write(scratch / "a.swf", "--compressed", "--fscommand", "first=" + odd, "--call", "ask=" + odd,
                   "--callback", "one=P1", "--reply-command", "answer", "--fscommand", "second=", "--callback", "two=")
    check("the action movie written", result.returncode == 0, result.stderr)
    code = [t for c, t in tags(body_of((scratch / "a.swf").read_bytes())) if c == 12]
    strings, ops = action_strings(code[0])
    given = ["P1", "one", "", "two", "FSCommand:first", odd, "FSCommand:second", "", "FSCommand:answer", odd, "ask"]
    check("callbacks, then fscommands in order, then the call", [s for s in strings if s in given] == given,
          repr(strings))
    check("the reply goes by GetURL2, then the movie stops", ops[-2:] == [0x9A, 0x07], repr(ops))


def check_refusals(scratch):
    bad = [["--color", "12345"], ["--background", "GG0000"], ["--size", "320"], ["--size", "0x10"],
           ["--rect", "1,2,3"], ["--rect", "1,2,0,5"], ["--callback", "noequals"], ["--fscommand", "=x"],
           ["--call", "f=x"], ["--reply-command", "r"], ["--call", "f=x", "--call", "g=y", "--reply-command", "r"],
           ["--version", "5"], ["--rate", "0"], ["--rate", "fast"], ["--size", "60000000x1"]]
    for options in bad:
        out = scratch / "refused.swf"
        result = write(out, *options)
        check(f"refused: {' '.join(options)}",
              result.returncode == 2 and "error" in result.stderr and not out.exists(), result.stderr)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmo", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        scratch = pathlib.Path(folder)
        os.environ.update(TMP=str(scratch / "tmp"), XDG_CONFIG_HOME=str(scratch / "config"))
        (scratch / "tmp").mkdir()
        check_headers(args.velmo, scratch)
        check_actions(scratch)
        check_refusals(scratch)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
