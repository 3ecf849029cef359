#!/usr/bin/env python3
"""Checks link_order.py's reading of callgrind files and the section names it writes.

Run: python3 cmake/test_link_order.py
"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import link_order  # noqa: E402

# Names are compressed: given once with their number, then by number alone, and a callee's name
# (cfn) can be the first mention. Costs of functions in other objects (libc) are left out.
PROFILE = """\
events: Ir
ob=(1) /build/bin/velmo
fl=(1) ???
fn=(1) main
0 5
cfn=(2) _ZN5velmo4Heap8AllocateEm
calls=1 0
0 900
fn=(2)
0 40
0 60
ob=(2) /usr/lib/libc.so.6
fn=(3) malloc
0 5000
ob=(1)
fn=(4) _ZN5velmo12_GLOBAL__N_14TaskD1Ev.lto_priv.3
0 7
fn=(1)
0 2
"""


class LinkOrderTest(unittest.TestCase):
    def test_functions_of_the_program_only_by_cost_with_compressed_names(self):
        with tempfile.NamedTemporaryFile("w", suffix=".cg", delete=False) as f:
            f.write(PROFILE)
        try:
            names = link_order.functions(f.name)
        finally:
            os.unlink(f.name)
        # Self costs only: main's 900 is the call's, so main (7) ranks with the destructor (7).
        self.assertEqual(names[0], "_ZN5velmo4Heap8AllocateEm")
        self.assertEqual(set(names), {"main", "_ZN5velmo4Heap8AllocateEm", "_ZN5velmo12_GLOBAL__N_14TaskD1Ev.lto_priv.3"})

    def test_section_patterns(self):
        self.assertEqual(link_order.section_patterns("_Z3fooi"), [".text._Z3fooi", ".text._Z3fooi.*"])
        self.assertEqual(link_order.section_patterns("main"), [".text.startup.main", ".text.startup.main.*"])
        self.assertEqual(link_order.section_patterns("_Z3barv.part.0.cold"), [".text.unlikely._Z3barv.part.*"])
        self.assertEqual(
            link_order.section_patterns("_ZN1AD1Ev.lto_priv.2"), [".text._ZN1AD1Ev.lto_priv.*", ".text._ZN1AD2Ev.lto_priv.*"]
        )
        self.assertEqual(link_order.section_patterns("0x0000000000401000"), [])
        self.assertEqual(link_order.section_patterns("(below main)"), [])


if __name__ == "__main__":
    unittest.main()
