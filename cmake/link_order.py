#!/usr/bin/env python3
"""Writes the function order the Linux release link follows (cmake/link-order.txt).

The kernel maps a program's code in 64 KB runs around every page it touches, so a short run that
calls a few hundred functions spread over the binary keeps most of the binary resident. Laid out
in the order a run first needs them, the same functions share a few runs instead.

    cmake/link_order.py OUT CALLGRIND-FILE...

Each CALLGRIND-FILE comes from `valgrind --tool=callgrind --demangle=no` running a release build;
the functions of files listed first come first. cmake/link-order.sh makes the files and calls
this.
"""

import re
import sys


def functions(path):
    """The mangled names of the functions a callgrind file saw run, most instructions first."""
    names = {}
    counts = {}
    current = None
    in_program = False
    objects = {}
    skip_call_cost = False
    for line in open(path, encoding="utf-8", errors="replace"):
        # Names are given once, at their first use in any of these lines, then only by number.
        m = re.match(r"^(c?ob)=\((\d+)\)(?: (.*))?", line)
        if m:
            if m.group(3):
                objects[m.group(2)] = m.group(3).strip()
            if m.group(1) == "ob":
                in_program = objects.get(m.group(2), "").endswith("/velmo")
            continue
        m = re.match(r"^(c?fn)=\((\d+)\)(?: (.*))?", line)
        if m:
            if m.group(3):
                names[m.group(2)] = m.group(3).strip()
            if m.group(1) == "fn":
                current = names[m.group(2)] if in_program else None
            continue
        if line.startswith("calls="):
            skip_call_cost = True  # the next line is the callee's inclusive cost
            continue
        m = re.match(r"^(?:[+-]?\d+|\*) (\d+)", line)
        if m:
            if current and not skip_call_cost:
                counts[current] = counts.get(current, 0) + int(m.group(1))
            skip_call_cost = False
    return sorted(counts, key=lambda name: -counts[name])


def section_patterns(name):
    """The sections GCC may give a function with -ffunction-sections (gold takes shell wildcards
    in the ordering file). Numbered clone suffixes
    (.lto_priv.3, .constprop.0) change from build to build and become wildcards; a complete-object
    constructor or destructor (C1, D1) is an alias of the base one (C2, D2), whose name the section
    bears; a function's cold part (NAME.cold) lies in .text.unlikely.NAME, and main and the static
    initialisers in .text.startup.NAME."""
    if name.startswith("0x") or name.startswith("("):
        return []
    name = re.sub(r"\.(lto_priv|constprop|isra|part|localalias)\.\d+", r".\1.*", name)
    prefix = ".text."
    if name.endswith(".cold"):
        name, prefix = name[: -len(".cold")], ".text.unlikely."
    elif name == "main" or name.startswith(("_GLOBAL__sub_I", "_sub_I_")):
        prefix = ".text.startup."
    names = [name]
    for complete, base in (("C1E", "C2E"), ("D1E", "D2E")):
        if complete in name:
            names.append(name.replace(complete, base))
    # Link-time optimisation may rename a local function after the profile saw it (NAME.lto_priv.0).
    names += [n + ".*" for n in names if not n.endswith("*")]
    return [prefix + n for n in names]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    seen = set()
    lines = []
    for path in sys.argv[2:]:
        for name in functions(path):
            for pattern in section_patterns(name):
                if pattern not in seen:
                    seen.add(pattern)
                    lines.append(pattern)
    with open(sys.argv[1], "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
