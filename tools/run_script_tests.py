#!/usr/bin/env python3
"""Runs .qvs script tests through `velmo run --trace -` and checks their inline expectations.

A script states what it must produce in comments:
    // expect: LINE           one trace line, in order; stdout must be exactly these lines, each ending
                              as the tool's system ends text lines (CR LF for a Windows build, else LF)
    // expect stderr: TEXT    one line of standard error, in order; with none, standard error must be empty;
                              a TEXT of "..." stands for any number of lines (the rest of a chain of calls)
    // expect status: N       the exit status (0 when absent)
    // run with: OPTIONS      options for `velmo run` before the script's name (blank-separated)
    // env: NAME=VALUE        an environment variable for the run (a path is relative to the script's folder)
Each script runs in its own folder and is named by its file name alone, so that diagnostics read
"NAME.qvs:LINE: ..." wherever the tree lies.
Every failing file is reported with what differed; the exit status is 1 when any file failed.
"""
import argparse
import difflib
import os
import pathlib
import re
import subprocess
import sys

EXPECT = re.compile(r"//\s*expect(?: (stderr|status))?: ?(.*)$")
RUN_WITH = re.compile(r"//\s*run with: ?(.*)$")
ENV = re.compile(r"//\s*env: ?([A-Za-z_][A-Za-z0-9_]*)=(.*)$")


class Expectations:
    def __init__(self, path):
        self.stdout, self.stderr, self.status, self.options, self.env = [], [], 0, [], {}
        # Bytes are read as Latin-1 so that any 8-bit trace text round-trips unchanged.
        for number, line in enumerate(path.read_text(encoding="latin-1").splitlines()):
            options = RUN_WITH.search(line)
            if options:
                self.options += options.group(1).split()
                continue
            env = ENV.search(line)
            if env:
                self.env[env.group(1)] = env.group(2).strip()
                continue
            match = EXPECT.search(line)
            if not match:
                continue
            kind, text = match.group(1), match.group(2)
            if kind == "status":
                try:
                    self.status = int(text.strip())
                except ValueError:
                    raise ValueError(f"line {number}: bad status {text!r}")
            else:
                (self.stderr if kind == "stderr" else self.stdout).append(text)


def line_end(velmo):
    """The line end of trace lines on the tool's standard output: its system's text line end."""
    return b"\r\n" if str(velmo).lower().endswith(".exe") else b"\n"


def show_lines(data, end=b"\r\n"):
    """Splits program output into display lines; a line not ending in `end` is marked, since a wrong
    line end (or a missing terminator) is a fault of its own."""
    lines = []
    for raw in data.splitlines(keepends=True):
        if raw.endswith(end) and not (end == b"\n" and raw.endswith(b"\r\n")):
            lines.append(raw[:-len(end)].decode("latin-1"))
        else:
            body = raw.rstrip(b"\r\n")
            ending = raw[len(body):]
            note = f"ends with {ending!r} instead of {end!r}" if ending else f"no {end!r} at the end"
            lines.append(body.decode("latin-1") + f"  [{note}]")
    return lines


def stderr_matches(expected, actual):
    """Whether the lines match, a "..." line in `expected` standing for any number of lines."""
    pattern = "".join(".*" if line == "..." else re.escape(line + "\n") for line in expected)
    return re.fullmatch(pattern, "".join(line + "\n" for line in actual), re.S) is not None


def diff(title, expected, actual):
    lines = difflib.unified_diff(expected, actual, "expected " + title, "actual " + title, lineterm="", n=2)
    return ["    " + line for line in lines]


def run_one(path, args):
    try:
        want = Expectations(path)
    except ValueError as error:
        return [f"    bad expectation: {error}"]
    command = args.runner + [args.velmo, "run", "--trace", "-"] + want.options + [path.name]
    try:
        env = dict(os.environ, **want.env) if want.env else None
        done = subprocess.run(command, capture_output=True, timeout=args.timeout, cwd=path.parent, env=env)
    except subprocess.TimeoutExpired:
        return [f"    timed out after {args.timeout} s"]
    problems = []
    if done.returncode != want.status:
        problems.append(f"    exit status {done.returncode}, expected {want.status}")
    end = line_end(args.velmo)
    expected_stdout = b"".join(line.encode("latin-1") + end for line in want.stdout)
    if done.stdout != expected_stdout:
        problems += diff("stdout", want.stdout, show_lines(done.stdout, end))
    # Standard error is plain text written by the C runtime: a Windows build ends its lines with CR LF.
    actual_stderr = [line.rstrip("\r") for line in done.stderr.decode("latin-1").split("\n")]
    if actual_stderr and actual_stderr[-1] == "":
        actual_stderr.pop()
    if not stderr_matches(want.stderr, actual_stderr):
        problems += diff("stderr", want.stderr, actual_stderr)
    return problems


def collect(targets):
    files = []
    for target in targets:
        target = pathlib.Path(target)
        if target.is_dir():
            files += sorted(target.rglob("*.qvs"))
        elif target.is_file():
            files.append(target)
        else:
            sys.exit(f"run_script_tests: no such file or folder: {target}")
    return files


def main():
    default_root = pathlib.Path(__file__).resolve().parent.parent / "tests" / "scripts"
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--velmo", required=True, help="the velmo command-line tool")
    parser.add_argument("--runner", action="append", default=[],
                        help="one word of a command prefix, such as wine (repeat for several words; "
                             "write --runner=-E for a word starting with -)")
    parser.add_argument("--timeout", type=float, default=20, help="seconds allowed per script (default 20)")
    parser.add_argument("targets", nargs="*", help=f".qvs files or folders (default {default_root})")
    args = parser.parse_args()
    args.velmo = str(pathlib.Path(args.velmo).resolve())  # scripts run in their own folders

    files = collect(args.targets or [default_root])
    if not files:
        sys.exit("run_script_tests: no .qvs files found")
    failed = 0
    for path in files:
        problems = run_one(path, args)
        if problems:
            failed += 1
            print(f"FAIL {path}")
            print("\n".join(problems))
    print(f"{len(files) - failed} of {len(files)} script tests passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
