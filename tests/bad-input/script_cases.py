"""Scripts that try to exhaust the native stack: nesting 100,000 deep in the source, recursion without
end, and data nested or cyclic at run time.

Source nested deeper than the parser's limit (256) is a compile error, "syntax error: nesting too
deep", exit status 2. Recursion ends with "Runtime error: stack overflow", exit status 1. Every
generated script is written by the case itself; scripts/*.qvs are checked in and carry their
expectations inline, in the form tools/run_script_tests.py reads.
"""
import pathlib

from run_bad_input import HERE, case
from run_script_tests import Expectations, line_end, stderr_matches

DEPTH = 100_000
TOO_DEEP = "syntax error: nesting too deep"

# Each makes a script nested DEPTH deep in one construct; the parser refuses them all.
NESTED = {
    "parentheses": lambda n: "x = " + "(" * n + "1" + ")" * n + ";",
    "blocks": lambda n: "{" * n + "x = 1;" + "}" * n,
    "array-literals": lambda n: "x = " + "[" * n + "]" * n + ";",
    "object-literals": lambda n: "x = " + "{a:" * n + "1" + "}" * n + ";",
    "functions": lambda n: "function (){" * n + "}" * n,
    "not": lambda n: "x = " + "!" * n + "1;",
    "negation": lambda n: "x = " + "- " * n + "1;",
    "typeof": lambda n: "x = " + "typeof " * n + "1;",
    "new": lambda n: "x = " + "new " * n + "Object;",
    "assignments": lambda n: "x = " + "a = " * n + "1;",
    "conditionals": lambda n: "x = " + "1 ? 2 : " * n + "3;",
    "else-if": lambda n: "if (0) x = 1; " + "else if (0) x = 1; " * n + "else x = 2;",
    "while": lambda n: "while (0) " * n + ";",
    "if": lambda n: "if (1) " * n + "x = 1;",
    "calls-in-arguments": lambda n: "x = " + "f(" * n + "1" + ")" * n + ";",
    "unclosed-parentheses": lambda n: "x = " + "(" * n,
    "unclosed-blocks": lambda n: "{" * n,
}

# Left-associative chains: the parser builds them in a loop, so only a later walk of the tree can
# be deep. Compiling them or refusing them are both sound; a crash is not.
CHAINS = {
    "additions": lambda n: "x = " + " + ".join(["1"] * n) + ";",
    "string-concatenation": lambda n: 'x = "a"' + ' + "b"' * n + ";",
    "and": lambda n: "x = " + " && ".join(["1"] * n) + ";",
    "or": lambda n: "x = " + " || ".join(["0"] * n) + ";",
    "comma": lambda n: "x = (" + ", ".join(["0"] * n) + ");",
    "comparisons": lambda n: "x = " + " < ".join(["0"] * n) + ";",
    "members": lambda n: "x = a" + ".b" * n + ";",
    "calls": lambda n: "x = f" + "()" * n + ";",
    "indexes": lambda n: "x = a" + "[0]" * n + ";",
}


def run_generated(c, name, text, statuses, message=None):
    path = c.write(f"{name}.qvs", text)
    result = c.velmo("run", path).status_is(*statuses)
    if message and result.status == 2:
        result.err_has(message)
    return result


@case("nesting", "source nested 100,000 deep in every construct is refused with 'nesting too deep'")
def nested_source(c):
    for name, make in NESTED.items():
        run_generated(c, name, make(DEPTH), (2,)).err_has(TOO_DEEP)


@case("nesting", "nesting just under the limit compiles and runs")
def nesting_at_the_limit(c):
    path = c.write("deep.qvs", "return " + "(" * 200 + "42" + ")" * 200 + ";")
    c.velmo("run", "--result", path).status_is(0).out_has("42")
    path = c.write("blocks.qvs", "{" * 100 + "x = 7;" + "}" * 100 + " return x;")
    c.velmo("run", "--result", path).status_is(0).out_has("7")


@case("nesting", "chains of 100,000 binary operators, members or calls are refused with 'nesting too deep'")
def long_chains(c):
    for name, make in CHAINS.items():
        run_generated(c, name, make(DEPTH), (2,)).err_has(TOO_DEEP)


@case("nesting", "chains of 2,000 links compile and run")
def moderate_chains(c):
    path = c.write("sum.qvs", "return " + " + ".join(["1"] * 2000) + ";")
    c.velmo("run", "--result", path).status_is(0).out_has("2000")
    path = c.write("and.qvs", "return " + " && ".join(["1"] * 2000) + ";")
    c.velmo("run", "--result", path).status_is(0).out_has("1")


@case("recursion", "a toString that converts its own object recurses to the bound, not to a crash")
def recursive_conversion(c):
    path = c.write("tostring.qvs", 'o = new Object(); o.toString = function () { return "x" + this; };\n'
                                   'o.valueOf = function () { return this; }; s = "" + o; return s.length;')
    c.velmo("run", "--result", path).status_is(0, 1)


@case("recursion", "an array nested 100,000 deep refuses conversion to text with a stack overflow")
def deep_array_text(c):
    if c.session.stressed:
        c.skip("building the array collects at every step: too slow under VELMO_GC_STRESS")
    path = c.write("deep.qvs", "a = []; for (i = 0; i < 100000; i++) a = [a];\ns = '' + a; return s.length;")
    c.velmo("run", "--result", path).status_is(1).err_has("stack overflow")


@case("recursion", "a list 300,000 long and arrays nested 50,000 deep are collected and dropped")
def deep_data(c):
    # The collector's marking must not recurse per link: these reach far past any native stack. The
    # run's end collects everything once more after they are dropped.
    links = c.sized(300_000)
    path = c.write("list.qvs", f"o = null; for (i = 0; i < {links}; i++) o = {{ next: o }};\n"
                               f"a = []; for (i = 0; i < {c.sized(50_000)}; i++) a = [a];\n"
                               "n = 0; for (p = o; p; p = p.next) n++;\n"
                               "o = null; a = null; return n;")
    c.velmo("run", "--result", path, timeout=120).status_is(0).out_has(str(links))


def script_case(path):
    def body(c):
        want = Expectations(path)
        # Run where the case runs, by file name, so that diagnostics name the file as expected.
        c.write(path.name, path.read_bytes())
        result = c.velmo("run", "--trace", "-", *want.options, path.name).status_is(want.status)
        end = line_end(c.session.velmo).decode()
        expected_out = "".join(line + end for line in want.stdout)
        c.check(result.out == expected_out, f"{path.name}: trace {result.out!r}, expected {expected_out!r}")
        actual_err = result.err.replace("\r\n", "\n").split("\n")[:-1]
        c.check(stderr_matches(want.stderr, actual_err), f"{path.name}: stderr {result.err!r}, expected {want.stderr!r}")
    body.__name__ = path.stem
    # The title is the first sentence of the comment the script opens with.
    opening = []
    for line in path.read_text(encoding="latin-1").splitlines():
        if not line.startswith("//"):
            break
        opening.append(line.lstrip("/ "))
    case("script", " ".join(opening).split(". ")[0].rstrip("."))(body)


for script in sorted((HERE / "scripts").glob("*.qvs")):
    script_case(pathlib.Path(script))
