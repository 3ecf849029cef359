#!/usr/bin/env python3
"""Checks that the benchmark runner fails on wrong answers and reads Velmo's CR LF lines.

Stand-in engines take the place of the real interpreters: each prints the text of the program
file it is given (Velmo's with CR LF line ends), and exits with the status a line "EXIT n" asks for.
Run: python3 bench/test_compare.py
"""

import os
import stat
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))

STANDIN = """#!/bin/sh
for f; do :; done
{convert} "$f"
code=$(/bin/sed -n 's/^EXIT //p' "$f")
exit ${{code:-0}}
"""


def write(path, text, executable=False):
    with open(path, "w") as f:
        f.write(text)
    if executable:
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


class RunnerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.bin = os.path.join(self.tmp.name, "bin")
        self.programs = os.path.join(self.tmp.name, "programs")
        os.mkdir(self.bin)
        os.mkdir(self.programs)
        self.velmo = os.path.join(self.bin, "velmo")
        write(self.velmo, STANDIN.format(convert="/bin/grep -v '^EXIT' | /bin/sed 's/$/\\r/' <"), True)
        for peer in ("lua5.4", "duk", "mujs", "node"):
            write(os.path.join(self.bin, peer), STANDIN.format(convert="/bin/grep -v '^EXIT' <"), True)

    def tearDown(self):
        self.tmp.cleanup()

    def program(self, name, expected, qvs=None, lua=None, js=None):
        write(os.path.join(self.programs, name + ".expected"), expected + "\n")
        write(os.path.join(self.programs, name + ".qvs"), (qvs or expected) + "\n")
        write(os.path.join(self.programs, name + ".lua"), (lua or expected) + "\n")
        write(os.path.join(self.programs, name + ".js"), (js or expected) + "\n")

    def run_runner(self, *extra):
        env = dict(os.environ, PATH=self.bin)
        env.pop("BENCH_PROGRAMS", None)
        done = subprocess.run([sys.executable, os.path.join(HERE, "compare.py"), "--velmo", self.velmo,
                               "--programs", self.programs, "--runs", "2"] + list(extra),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, timeout=120)
        return done.returncode, done.stdout.decode()

    def test_agreeing_engines_pass_and_crlf_lines_compare_equal(self):
        self.program("bintrees", "bintrees 42 7")
        self.program("fib", "fib(5) = 5")
        status, out = self.run_runner()
        self.assertEqual(status, 0, out)
        self.assertNotIn("FAILURES", out)
        self.assertNotIn("WRONG", out)
        for line in ("geomean Velmo/Lua 5.4", "geomean Velmo/Duktape", "geomean Velmo/MuJS",
                     "geomean Velmo/Node-jitless", "worst   Velmo/Lua 5.4", "worst   Velmo/Node-jitless",
                     "memory  Velmo/Lua 5.4 bintrees", "memory  Velmo empty script"):
            self.assertIn(line, out)

    def test_a_wrong_line_or_a_failed_exit_fails_the_run_after_the_table(self):
        self.program("fib", "fib(5) = 5", js="fib(5) = 8")
        self.program("loops", "loops 1", qvs="loops 1\nEXIT 3")
        self.program("oo", "oo 9", lua="oo 9\nextra line")
        status, out = self.run_runner()
        self.assertEqual(status, 1, out)
        table, _, report = out.partition("BENCHMARK FAILURES")
        self.assertIn("geomean", table)  # the figures come first, then the failures
        self.assertIn("fib on duk: wrong result", report)
        self.assertIn("fib on node: wrong result", report)
        self.assertIn("loops on velmo: exit status 3", report)
        self.assertIn("oo on lua: wrong result", report)
        self.assertEqual(table.count("WRONG"), 5)  # fib on the three .js engines, loops, oo

    def test_a_missing_peer_leaves_its_column_empty(self):
        os.unlink(os.path.join(self.bin, "mujs"))
        self.program("fib", "fib(5) = 5")
        status, out = self.run_runner()
        self.assertEqual(status, 0, out)
        self.assertIn("MuJS (mujs) is not installed", out)

    def test_a_failing_native_benchmark_fails_the_run(self):
        self.program("fib", "fib(5) = 5")
        native = os.path.join(self.bin, "native_bench")
        write(native, "#!/bin/sh\necho figures\nexit 1\n", True)
        status, out = self.run_runner("--native", native)
        self.assertEqual(status, 1, out)
        self.assertIn("figures", out)
        self.assertIn("FAILED: native_bench exited with status 1", out)


if __name__ == "__main__":
    unittest.main()
