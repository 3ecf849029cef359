#!/usr/bin/env python3
"""Times every benchmark program on Velmo and the peer interpreters and prints the comparison.

Each program NAME exists as NAME.qvs, NAME.lua and NAME.js beside NAME.expected, the one line every
engine must print. A wrong line, a failed exit or a time-out fails the run after the table is out:
a fast wrong answer is no result. Wall time is taken around the whole process, start-up included,
for every engine alike; peak memory comes from /usr/bin/time's maximum resident set size.
"""

import argparse
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# The workloads whose peak memory is compared with Lua's: the ones that allocate the most.
ALLOCATION_PROGRAMS = ("bintrees", "maps", "pqueue", "sorting")
MEMORY_TARGET = 1.3          # Velmo's peak memory on each, at most this many times Lua's
EMPTY_SCRIPT_TARGET_MIB = 3.0  # Velmo's peak memory running an empty script
TIMEOUT_SECONDS = 600


class Engine:
    def __init__(self, key, title, argv, suffix, target=None, worst=None):
        self.key = key
        self.title = title
        self.argv = argv          # the command before the program file
        self.suffix = suffix
        self.target = target      # the highest acceptable geometric mean of Velmo/peer; None for Velmo
        self.worst = worst        # the highest acceptable Velmo/peer ratio of any one program, if any


def make_engines(velmo):
    return [
        Engine("velmo", "Velmo", [velmo, "run", "--trace", "-"], ".qvs"),
        Engine("lua", "Lua 5.4", ["lua5.4"], ".lua", 1.0, 1.5),
        Engine("duk", "Duktape", ["duk"], ".js", 0.35),
        Engine("mujs", "MuJS", ["mujs"], ".js", 0.25),
        Engine("node", "Node-jitless", ["node", "--jitless"], ".js", 0.8, 1.2),
    ]


def run_once(argv, rss_file):
    """Runs one process; answers (wall seconds, stdout text, stderr text, exit code, peak KiB)."""
    command = ["/usr/bin/time", "-f", "%M", "-o", rss_file] + argv
    start = time.perf_counter()
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=TIMEOUT_SECONDS)
    except subprocess.TimeoutExpired:
        return time.perf_counter() - start, "", "timed out after %d s" % TIMEOUT_SECONDS, -1, None
    wall = time.perf_counter() - start
    peak = None
    try:
        with open(rss_file) as f:
            # GNU time writes a "Command exited with non-zero status" line before the figure.
            lines = [line.strip() for line in f if line.strip()]
        if lines and lines[-1].isdigit():
            peak = int(lines[-1])
    except OSError:
        pass
    out = done.stdout.decode("utf-8", "replace")
    err = done.stderr.decode("utf-8", "replace")
    return wall, out, err, done.returncode, peak


def result_line(text):
    """The printed line without its line end: Velmo's trace ends every line in CR LF."""
    return text.replace("\r\n", "\n").rstrip("\n")


def geomean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values)) if values else None


def verdict(value, target):
    if value is None:
        return "n/a"
    return "met" if value <= target else "MISSED"


def fmt_time(seconds):
    return "%.3f" % seconds if seconds is not None else "-"


def fmt_ratio(ratio):
    return "%.2f" % ratio if ratio is not None else "-"


def empty_script_peak(velmo_argv):
    """Velmo's peak KiB running a script with nothing in it: the floor every program pays."""
    with tempfile.TemporaryDirectory(prefix="velmo-bench-") as folder:
        script = os.path.join(folder, "empty.qvs")
        open(script, "w").close()
        _, _, _, status, peak = run_once(velmo_argv + [script], os.path.join(folder, "rss"))
        return peak if status == 0 else None


def find_programs(folder, only):
    names = sorted(f[:-len(".expected")] for f in os.listdir(folder) if f.endswith(".expected"))
    if only:
        unknown = [n for n in only if n not in names]
        if unknown:
            sys.exit("compare.py: no such program: " + ", ".join(unknown))
        names = [n for n in names if n in only]
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--velmo", required=True, help="the velmo command-line tool")
    parser.add_argument("--programs", required=True, help="folder of NAME.qvs/.lua/.js/.expected")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--native", help="a native benchmark program to run after the table")
    args = parser.parse_args()
    if args.runs < 1:
        sys.exit("compare.py: --runs must be at least 1")

    engines = make_engines(args.velmo)
    available = []
    for e in engines:
        if shutil.which(e.argv[0]) is None:
            if e.key == "velmo":
                sys.exit("compare.py: %s not found" % e.argv[0])
            print("warning: %s (%s) is not installed; its column stays empty" % (e.title, e.argv[0]))
        else:
            available.append(e)
    if not os.path.exists("/usr/bin/time"):
        sys.exit("compare.py: /usr/bin/time not found (Debian package 'time')")

    names = find_programs(args.programs, os.environ.get("BENCH_PROGRAMS", "").split())
    failures = []  # (program, engine key, message)
    failed = set()  # (program, engine key): no time is reported for these
    walls = {}   # (program, engine key) -> list of seconds
    peaks = {}   # (program, engine key) -> highest peak KiB seen
    rss_file = tempfile.NamedTemporaryFile(prefix="velmo-bench-", suffix=".rss", delete=False).name
    try:
        for name in names:
            with open(os.path.join(args.programs, name + ".expected")) as f:
                expected = result_line(f.read())
            print("running %s ..." % name, flush=True)
            # Engines take turns within each round, so a change in machine load spreads over all.
            for _ in range(args.runs):
                for e in available:
                    if (name, e.key) in failed:
                        continue
                    path = os.path.join(args.programs, name + e.suffix)
                    wall, out, err, status, peak = run_once(e.argv + [path], rss_file)
                    got = result_line(out)
                    if status != 0 or got != expected:
                        reason = "exit status %d" % status if status != 0 else "wrong result"
                        failures.append((name, e.key, "%s: got %r, expected %r; stderr: %s" % (
                            reason, got[:200], expected, err.strip()[:300])))
                        failed.add((name, e.key))
                        continue
                    walls.setdefault((name, e.key), []).append(wall)
                    if peak is not None:
                        peaks[(name, e.key)] = max(peak, peaks.get((name, e.key), 0))
    finally:
        os.unlink(rss_file)

    def median(name, key):
        times = walls.get((name, key))
        return statistics.median(times) if times and (name, key) not in failed else None

    peers = [e for e in engines if e.target is not None]
    print()
    print("Median wall time in seconds of %d run(s), and Velmo's time as a multiple of each peer's" % args.runs)
    print("(below 1 means Velmo is faster).")
    print()
    header = "%-12s" % "program" + "".join("%13s" % e.title for e in engines) + "  |" + \
        "".join("%10s" % ("V/" + e.key) for e in peers)
    print(header)
    print("-" * len(header))
    ratios = {e.key: [] for e in peers}
    worst = {e.key: (None, None) for e in peers}  # (ratio, program) of the highest ratio
    for name in names:
        velmo = median(name, "velmo")
        row = "%-12s" % name + "".join(
            "%13s" % ("WRONG" if (name, e.key) in failed else fmt_time(median(name, e.key))) for e in engines) + "  |"
        for e in peers:
            peer = median(name, e.key)
            ratio = velmo / peer if velmo is not None and peer else None
            if ratio is not None:
                ratios[e.key].append(ratio)
                if worst[e.key][0] is None or ratio > worst[e.key][0]:
                    worst[e.key] = (ratio, name)
            row += "%10s" % fmt_ratio(ratio)
        print(row)
    print("-" * len(header))
    print("%-12s" % "geomean" + " " * (13 * len(engines)) + "  |" +
          "".join("%10s" % fmt_ratio(geomean(ratios[e.key])) for e in peers))
    print("%-12s" % "target" + " " * (13 * len(engines)) + "  |" +
          "".join("%10s" % ("<= %.1f" % e.target) for e in peers))
    print()
    for e in peers:
        g = geomean(ratios[e.key])
        counted = "" if len(ratios[e.key]) == len(names) else \
            " over %d of %d programs" % (len(ratios[e.key]), len(names))
        print("geomean Velmo/%-13s %6s   target <= %.2f  %s%s" % (
            e.title, fmt_ratio(g), e.target, verdict(g, e.target), counted))
    for e in peers:
        if e.worst is None:
            continue
        ratio, name = worst[e.key]
        print("worst   Velmo/%-13s %6s   target <= %.2f  %s%s" % (
            e.title, fmt_ratio(ratio), e.worst, verdict(ratio, e.worst), " (%s)" % name if name else ""))

    measured = [n for n in ALLOCATION_PROGRAMS if n in names]
    if measured:
        print()
        print("Peak memory (max RSS) in MiB, and Velmo's as a multiple of Lua's:")
        print("  %-10s" % "program" + "".join("%13s" % e.title for e in engines) + "   V/lua")
        for name in measured:
            row = "  %-10s" % name
            for e in engines:
                kib = peaks.get((name, e.key))
                row += "%13s" % ("%.1f" % (kib / 1024.0) if kib else "-")
            v, lua = peaks.get((name, "velmo")), peaks.get((name, "lua"))
            ratio = v / lua if v and lua else None
            print(row + "   %s" % fmt_ratio(ratio))
            print("memory  Velmo/Lua 5.4 %-8s %6s   target <= %.2f  %s" % (
                name, fmt_ratio(ratio), MEMORY_TARGET, verdict(ratio, MEMORY_TARGET)))
    empty = empty_script_peak(engines[0].argv)
    print("memory  Velmo empty script %8s   target <  %.1f MiB  %s" % (
        "%.1f MiB" % (empty / 1024.0) if empty else "-", EMPTY_SCRIPT_TARGET_MIB,
        "n/a" if not empty else ("met" if empty / 1024.0 < EMPTY_SCRIPT_TARGET_MIB else "MISSED")))

    native_failed = False
    if args.native:
        print()
        print("Native benchmark %s:" % os.path.basename(args.native), flush=True)
        status = subprocess.run([args.native], stdin=subprocess.DEVNULL).returncode
        if status != 0:
            native_failed = True
            print("FAILED: %s exited with status %d" % (os.path.basename(args.native), status))

    if failures:
        print()
        print("!" * 72)
        print("BENCHMARK FAILURES: %d engine result(s) were wrong or did not finish" % len(failures))
        for name, key, message in failures:
            print("  %s on %s: %s" % (name, key, message))
        print("!" * 72)
    return 1 if failures or native_failed else 0


if __name__ == "__main__":
    sys.exit(main())
