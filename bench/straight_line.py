#!/usr/bin/env python3
"""Times a long straight-line Velmo script and reports its peak memory.

The script is generated: `var s = "";`, then LINES statements `s = s + "line N";` (N = 1 to
LINES, one per line, no loop, no function), then one trace of the result's length and tail. No
statement reaches a loop's backward jump or any other listed safe point, so this measures whether
the garbage of straight-line code is collected on the way. Velmo only: the peers need no such
check. The printed line must match, as for the other programs; wall time is the median of the
runs, start-up and compilation included, peak memory the highest maximum resident set size that
/usr/bin/time reports.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

DEFAULT_LINES = 20000
# Peak memory target: the same work as a loop stays near 15 MiB; the compiler's tables for
# twenty thousand statements and the collection mark come on top.
MEMORY_TARGET_MIB = 64
TIMEOUT_SECONDS = 600


def make_program(lines):
    """The script text and the one line it must print."""
    out = ['var s = "";']
    pieces = []
    for n in range(1, lines + 1):
        out.append('s = s + "line %d";' % n)
        pieces.append("line %d" % n)
    out.append('trace("straightline ", s.length, " ", s.substring(s.length - 10, s.length));')
    text = "".join(pieces)
    return "\n".join(out) + "\n", "straightline %d %s" % (len(text), text[-10:])


def run_once(velmo, path, rss_file):
    """Answers (wall seconds, user seconds, printed text, exit status, peak KiB or None)."""
    command = ["/usr/bin/time", "-f", "%U\n%M", "-o", rss_file, velmo, "run", "--trace", "-", path]
    start = time.perf_counter()
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=TIMEOUT_SECONDS)
    except subprocess.TimeoutExpired:
        return time.perf_counter() - start, None, "", -1, None
    wall = time.perf_counter() - start
    user, peak = None, None
    try:
        with open(rss_file) as f:
            # GNU time writes a "Command exited with non-zero status" line before the figures.
            figures = [line.strip() for line in f if line.strip()][-2:]
        if len(figures) == 2 and figures[1].isdigit():
            user, peak = float(figures[0]), int(figures[1])
    except (OSError, ValueError):
        pass
    return wall, user, done.stdout.decode("utf-8", "replace"), done.returncode, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--velmo", required=True, help="the velmo command-line tool")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--lines", type=int, default=DEFAULT_LINES)
    args = parser.parse_args()
    if args.runs < 1 or args.lines < 10:
        sys.exit("straight_line.py: --runs must be at least 1 and --lines at least 10")
    if not os.path.exists("/usr/bin/time"):
        sys.exit("straight_line.py: /usr/bin/time not found (Debian package 'time')")

    source, expected = make_program(args.lines)
    walls, users, peak = [], [], 0
    with tempfile.TemporaryDirectory(prefix="velmo-straight-") as folder:
        path = os.path.join(folder, "straightline.qvs")
        with open(path, "w") as f:
            f.write(source)
        rss_file = os.path.join(folder, "rss")
        print("running straightline (%d statements) ..." % args.lines, flush=True)
        for _ in range(args.runs):
            wall, user, out, status, kib = run_once(args.velmo, path, rss_file)
            got = out.replace("\r\n", "\n").rstrip("\n")
            if status != 0 or got != expected:
                reason = "exit status %d" % status if status != 0 else "wrong result"
                print("BENCHMARK FAILURE: straightline: %s: got %r, expected %r" % (reason, got[:200], expected))
                return 1
            walls.append(wall)
            if user is not None:
                users.append(user)
            peak = max(peak, kib or 0)

    print()
    print("Straight-line script, %d statements, median of %d run(s):" % (args.lines, args.runs))
    print("  wall time          %8.3f s" % statistics.median(walls))
    if users:
        print("  user time          %8.3f s" % statistics.median(users))
    if peak:
        mib = peak / 1024.0
        print("  peak memory        %8.1f MiB   target <= %d MiB   %s" % (
            mib, MEMORY_TARGET_MIB, "met" if mib <= MEMORY_TARGET_MIB else "MISSED"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
