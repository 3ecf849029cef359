#!/usr/bin/env python3
"""Checks the straight-line benchmark's generator and its verdicts with stand-in engines.

The good stand-in runs the generated program by its own reading of the three statement forms, so
the line the generator expects must be what the script prints. Run: python3 bench/test_straight_line.py
"""

import os
import stat
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import straight_line  # noqa: E402

# Reads `var s = "";`, `s = s + "TEXT";` and the final trace of the length and the last ten units,
# and prints that line with Velmo's CR LF.
STANDIN = r'''#!/usr/bin/env python3
import re, sys
s = None
for line in open(sys.argv[-1]):
    line = line.strip()
    if line == 'var s = "";':
        s = ""
    elif re.fullmatch(r's = s \+ "([^"]*)";', line):
        s += re.fullmatch(r's = s \+ "([^"]*)";', line).group(1)
    elif line.startswith("trace("):
        sys.stdout.write("straightline %d %s\r\n" % (len(s), s[-10:]))
    else:
        sys.exit("unexpected line: " + line)
'''


class StraightLineTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def engine(self, text):
        path = os.path.join(self.tmp.name, "velmo")
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path

    def run_bench(self, velmo):
        done = subprocess.run([sys.executable, os.path.join(HERE, "straight_line.py"), "--velmo", velmo,
                               "--runs", "2", "--lines", "120"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        return done.returncode, done.stdout.decode()

    def test_the_program_is_straight_line_and_its_expected_line_is_what_it_prints(self):
        source, expected = straight_line.make_program(120)
        lines = source.splitlines()
        self.assertEqual(len(lines), 122)
        self.assertEqual(lines[120], 's = s + "line 120";')
        for word in ("for", "while", "function", "do"):
            self.assertNotIn(word + " ", source)
        self.assertEqual(expected, "straightline 852 19line 120")
        status, out = self.run_bench(self.engine(STANDIN))
        self.assertEqual(status, 0, out)
        self.assertIn("peak memory", out)
        self.assertNotIn("FAILURE", out)

    def test_a_wrong_line_or_a_failed_exit_fails_the_run(self):
        status, out = self.run_bench(self.engine("#!/bin/sh\necho straightline 0\n"))
        self.assertEqual(status, 1, out)
        self.assertIn("BENCHMARK FAILURE: straightline: wrong result", out)
        status, out = self.run_bench(self.engine("#!/bin/sh\nexit 3\n"))
        self.assertEqual(status, 1, out)
        self.assertIn("exit status 3", out)


if __name__ == "__main__":
    unittest.main()
