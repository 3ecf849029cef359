#!/usr/bin/env python3
"""Writes the generated seeds of fuzz/corpus/<target>/: applications packed with `velmo pack`,
modules compiled with `velmo compile`, the records and blobs taken out of them, and near-valid
variants of each made here. Its text seeds (scripts, XML, dates, driving files) are written too, so
that one run recreates every seed this script owns, as listed in generated.txt; any other seed is
left alone, and one of the same name stops the run. Seeds are small (a few KiB at most) and named
for what they hold.

Usage: fuzz/corpus/generate_seeds.py VELMO   (the velmo tool of any native build)
"""
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

CORPUS = pathlib.Path(__file__).resolve().parent
ROOT = CORPUS.parent.parent
sys.dont_write_bytecode = True  # importing the helpers leaves nothing in the source tree
sys.path.insert(0, str(ROOT / "tests" / "bad-input"))
import velmo_files as vf  # noqa: E402  (the same format helpers the bad-input corpus uses)

MAX_SEED_BYTES = 8192
# The seeds this script wrote last time, one "target/name" a line: only these may be overwritten,
# so that a generated seed never replaces one written by hand.
GENERATED_LIST = CORPUS / "generated.txt"
PREVIOUSLY_GENERATED = set(GENERATED_LIST.read_text().split()) if GENERATED_LIST.exists() else set()
written = set()


def seed(target, name, data):
    data = data.encode("utf-8") if isinstance(data, str) else bytes(data)
    key = f"{target}/{name}"
    if len(data) > MAX_SEED_BYTES:
        sys.exit(f"generate_seeds: {key} is {len(data)} bytes, more than a seed should be")
    if key in written:
        sys.exit(f"generate_seeds: {key} is written twice")
    path = CORPUS / target / name
    if path.exists() and key not in PREVIOUSLY_GENERATED and path.read_bytes() != data:
        sys.exit(f"generate_seeds: {key} exists and was not generated here; choose another name")
    path.parent.mkdir(exist_ok=True)
    path.write_bytes(data)
    written.add(key)


class Tools:
    def __init__(self, velmo, work):
        self.velmo, self.work = velmo, work

    def run(self, *args):
        done = subprocess.run([self.velmo, *map(str, args)], capture_output=True, cwd=self.work)
        if done.returncode != 0:
            sys.exit(f"generate_seeds: velmo {' '.join(map(str, args))} failed:\n{done.stderr.decode()}")

    def compile(self, name, source, debug=False):
        """Module bytes with the directory tags' free upper bits cleared, so seeds stay stable."""
        path = self.work / f"{name}.qvs"
        path.write_text(source)
        out = self.work / f"{name}.qvc"
        self.run("compile", *(["--debug"] if debug else []), path, "-o", out)
        data = bytearray(out.read_bytes())
        for i in range(4):
            struct.pack_into("<I", data, 4 + 12 * i, data[4 + 12 * i])
        return bytes(data)

    def pack(self, name, files, manifest):
        project = self.work / name
        shutil.rmtree(project, ignore_errors=True)
        for relative, content in files.items():
            path = project / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content if isinstance(content, bytes) else content.encode())
        (project / "velmo.toml").write_text(manifest)
        out = self.work / f"{name}.exe"
        self.run("pack", project, "-o", out)
        return out.read_bytes()


SCRIPTS = {
    "loops": "var s = 0; for (var i = 0; i < 10; i++) { if (i % 3 == 0) continue; s += i; } "
             "while (s > 5) s -= 2; do { s++; } while (s < 9); return s;",
    "objects": "o = { a: 1, b: 'two', c: [3, 4] }; o.d = o.a + o.c[1]; delete o.b; "
               "for (k in o) trace(k + '=' + o[k]); return o.d;",
    "function_calls": "function add(a, b) { return a + b; } f = function (x) { return add(x, 1); }; "
                 "function rec(n) { return n ? n * rec(n - 1) : 1; } return f(rec(5)) + arguments.length;",
    "try_finally": "function t(x) { throw x; } try { t('a'); } catch (e) { trace(e); } finally { trace('f'); } "
                  "try { try { t(1); } finally { trace('inner'); } } catch (e) { return e; }",
    "string_methods": "s = 'abc' + 1 + 2.5 + true + null; s[1] = 66; return s.length + s.charAt(2) + "
               "s.indexOf('c') + s.toUpperCase() + s.split('b').join('|');",
    "arrays": "a = [3, 1, 2]; a.sort(); a.push(9, 8); a.reverse(); b = a.slice(1, 3).concat([7]); "
              "a.splice(1, 2, 'x'); return a.join(',') + b.length + a.shift() + a.pop();",
    "with_and_eval": "o = { v: 5 }; with (o) { v = v + 1; w = eval('v * 2'); } return o.v + w + typeof evals;",
    "regexp_date": "r = /a(b+)c/gi; m = 'xABBC abc'.match(r); d = new Date(2000, 1, 29); "
                   "return m.length + d.getDay() + Date.UTC(1970, 0, 1) + 'q'.replace(/q/, '$&$&');",
    "math_numbers": "return Math.floor(7.9) + Math.max(1, 2) + parseInt('0x1F') + parseFloat('1e3') + "
                    "(7 % 2) + (6 / 3) + (1 << 31 >>> 1) + ~5 + (0.1 + 0.2) + isNaN('x');",
    "recursion_limit": "function down(n) { return down(n + 1); } try { down(0); } catch (e) { return e; }",
}


def modules(tools):
    for name, source in SCRIPTS.items():
        module = tools.compile(name, source, debug=name in ("loops", "try_finally"))
        seed("module", f"{name}.qvc", module)
        seed("interpreter", f"{name}.qvc", module)
    op, code = vf.op, vf.code
    main = lambda *i, pool=b"": vf.module([(".main", code(*i))], pool=pool)  # noqa: E731
    # Near-valid modules: one operand or table entry off.
    seed("module", "jump_past_end.qvc", main(op("JMP", 100), op("PUSHTRUE"), op("RET")))
    seed("module", "const_past_pool.qvc", main(op("PUSHCONST", 3), op("RET"), pool=vf.pool_integer(1)))
    seed("module", "name_of_integer.qvc", main(op("GETGLOBAL", 0), op("RET"), pool=vf.pool_integer(1)))
    seed("module", "local_past_reserve.qvc", main(op("RESERVE", 1), op("GETLOCAL", 1), op("RET")))
    seed("module", "two_functions_hash_line.qvc",
         b"#!velmo run\n" + vf.module([(".main", code(op("PUSH1"), op("RET"))), ("f", code(op("PUSHNULL"), op("RET")))]))
    seed("module", "pool_every_kind.qvc",
         main(op("PUSHCONST", 1), op("RET"), pool=vf.pool_name("n") + vf.pool_integer(-5) + vf.pool_string("s") +
              b"\x05" + struct.pack("<d", 2.5) + b"\x01" + b"\x02\x01" + b"\x0d" +
              b"\x0b\x03" + struct.pack(">I", 4) + "a+".encode("utf-16-le")))
    # Verified code that the interpreter must refuse or bound while running.
    seed("interpreter", "putdown_past_stack.qvc", main(op("PUSHTRUE"), op("PUTDOWN", 100), op("RET")))
    seed("interpreter", "dropn_negative.qvc", main(op("PUSHTRUE"), op("DROPN", -3), op("RET")))
    seed("interpreter", "getargi_outside.qvc", main(op("PUSHINT", 1000), op("GETARGI"), op("RET")))
    seed("interpreter", "reserve_huge.qvc", main(op("RESERVE", 32767), op("PUSHTRUE"), op("RET")))
    seed("interpreter", "endless_loop.qvc", main(op("JMP", -5)))
    seed("interpreter", "tryleave_unopened.qvc", main(op("TRYLEAVE", 3), op("WITHLEAVE", 2), op("PUSHTRUE"),
                                                       op("RET")))


PROJECT_MANIFEST = """[application]
identifier = "Fuzz/Seed\\\\V1.0"

[movie]
file = "movie.swf"

[scripts]
Initialize = "init.qvs"

[build]
time = "2024-01-01T00:00:00Z"
"""

RICH_MANIFEST = """[application]
identifier = "Acme/Quiz\\\\V1.2"
guid = "{01234567-89AB-CDEF-0123-456789ABCDEF}"

[movie]
file = "media/quiz.swf"
flags = 0x10
protection = [1, 2, 3, 255]

[about]
product = "Acme Quiz"
company = "Acme"
version = "1.2"
comment = "caf\\u00E9"
background = "art/about.bmp"
author = "Q"
email = "q@example.org"

[about.font1]
face = "Tahoma"
weight = "bold"
charset = "greek"

[appearance]
shape = "clip"
clip_image = "art/clip.bmp"
border = ["single", "resizable"]
icons = ["minimize", "maximize", "system_menu"]
background = "#1F3A5F"
regions = ["masks/round.msk", "square.msk"]

[window]
size = "percent"
width = 80
height = 60
position = "custom"
x = 10
y = 20

[interaction]
right_click = "menu"
exit_keys = ["esc", "hot_key"]
hot_key = "Ctrl+Alt+Q"
disable = ["screen_saver"]

[behaviour]
menu = ["configure", "flash_player", "about", "help"]
tray_icon = true
mute_speakers = true
help_file = "help/quiz.chm"

[flash_player]
installer = "setup/player.exe"
version = [10, 1, 0, 0]

[scripts]
Initialize = "init.qvs"
AfterInstall = "after.qvs"

[build]
time = "2024-05-01T12:30:45Z"
port = 8080
text = "seed"
word4 = 7
"""


def applications(tools):
    plain = tools.pack("plain", {"movie.swf": b"FWS\x01", "init.qvs": "trace('hi'); return true;",
                                 "data/level1.xml": "<level n='1'/>"}, PROJECT_MANIFEST)
    rich = tools.pack("rich", {"media/quiz.swf": b"FWS\x01", "init.qvs": "return true;", "after.qvs": "return 1;",
                               "art/about.bmp": b"BM" + bytes(60), "art/clip.bmp": b"BM" + bytes(30),
                               "masks/round.msk": bytes(range(16)), "square.msk": b"\xff" * 8,
                               "help/quiz.chm": b"ITSF", "setup/player.exe": b"MZ" + bytes(30)}, RICH_MANIFEST)
    for name, app in (("plain", plain), ("rich", rich)):
        seed("pe_resources", f"{name}.exe", app[:vf.package_span(app)[0]])
        for r in vf.resources(app):
            raw = app[r.offset:r.offset + r.size]
            if r.type == "MOVORA" and r.name in ("ST", "ML", "RG", "FP"):
                seed("records", f"{name}_{r.name}", vf.blob_payload(raw))
                seed("blob", f"{name}_{r.name}", raw)
            elif r.type == "MOVORA" and r.name == "ID":
                seed("records", f"{name}_ID", raw)
    # Damaged images: a resource directory whose subdirectory points back at itself, a section
    # table cut short, a resource entry whose data lies outside the image.
    image = bytearray(plain[:vf.package_span(plain)[0]])
    looped = bytearray(image)
    root = vf.resource_directory_offset(image)
    struct.pack_into("<I", looped, root + 16 + 4, 0x80000000)  # the first type's directory is the root again
    seed("pe_resources", "directory_loop.exe", looped)
    seed("pe_resources", "cut_in_sections.exe", image[:0x1A0])
    outside = bytearray(image)
    first = vf.resources(image)[0]
    struct.pack_into("<II", outside, first.entry, 0x7FFFFFF0, 0x100)
    seed("pe_resources", "data_outside.exe", outside)
    # Packages as the whole archive file, as package_fuzz reads them.
    start, _ = vf.package_span(plain)
    seed("package", "packed_plain", plain[start:])
    level = vf.file_entry("level1.xml", b"<level n='1'/>")
    seed("package", "data_level1", vf.package([vf.folder_entry("data", [level])]))
    seed("package", "crc_mismatch", vf.package([vf.folder_entry("data", [vf.file_entry("level1.xml", b"x", crc=1)])]))
    seed("package", "size_past_folder",
         vf.package([vf.folder_entry("data", [vf.file_entry("level1.xml", b"x", stored_size=0x7FFFFFFF)])]))
    seed("package", "traversal_in_folder",
         vf.package([vf.folder_entry("data", [vf.file_entry("..\\..\\x", b"x"), vf.file_entry("/x", b"x"), level])]))
    nested = level
    for _ in range(12):
        nested = vf.folder_entry("d", [nested])
    seed("package", "nested_folders", vf.package([nested, vf.folder_entry("DATA", [level])]))
    seed("package", "unicode_names", vf.package([vf.folder_entry("dätä", [vf.file_entry("lëvel1.xml", b"\xe2\x82\xac")]),
                                                 vf.folder_entry("data", [level])]))
    seed("package", "root_renamed", vf.package([level], root_name="Applicatiom"))
    seed("package", "empty_root", vf.package([]))


def blobs():
    settings = b"settings record " * 8
    seed("blob", "lying_compressed_size", vf.blob(settings, compressed=0x7FFFFFFF))
    seed("blob", "lying_uncompressed_huge", vf.blob(settings, uncompressed=0xFFFFFFF0))
    seed("blob", "uncompressed_short", vf.blob(settings, uncompressed=5))
    seed("blob", "uncompressed_long", vf.blob(settings, uncompressed=len(settings) + 64))
    seed("blob", "version_2", vf.blob(settings, magic=b"ZT\x02\x00"))
    seed("blob", "trailing_bytes", vf.blob(settings) + b"trailing")
    stored = zlib.compressobj(0)
    seed("blob", "stored_block", b"ZT\x01\x00" + struct.pack("<III", 5, 16, zlib.crc32(b"hello")) +
         stored.compress(b"hello") + stored.flush())
    seed("blob", "empty_payload", vf.blob(b""))


TEXT_SEEDS = {
    "lexer": {
        "numbers.qvs": "x = 0x1F + 017 + 08 + 1.5e-3 + .5 + 5. + 1E+2 + 0xFFFFFFFFFFFFFFFFF + 1e400;\n",
        "strings.qvs": "s = 'a\\tb\\n' + \"q\\\"\\x41\\u0042\\101\\z\" + 'line\\\ncont';\n",
        "regexp.qvs": "r = /[a-z]+\\/(x|y)*/gim; q = a / b / c; z = x /= 2;\n",
        "comments.qvs": "/* block\n comment */ x = 1; // line\n/* unterminated",
        "hash_line.qvs": "#!/usr/bin/velmo\nreturn 1;\n",
        "unicode.qvs": "s = 'caf\u00e9 \u20ac'; x\u00e9 = 1;\n",
        "crlf.qvs": "x = 1;\r\ny = 'a\r\nb';\r\n",
    },
    "parser": {
        "control.qvs": "label: for (var i in o) { if (i) break label; else continue; }\n"
                       "for (;;) { break; } do x--; while (x > 0);\n",
        "try_with.qvs": "try { with (o) { f(); } } catch (e) { throw e; } finally { g(); }\n",
        "literals.qvs": "a = [1, , 3,]; o = { 'k': 1, 2: 'two', n: { m: [] } }; f = function (a, b) { return; };\n",
        "operators.qvs": "x = a ? b : c ? d : e; y = !a && b || c; z = -a * +b % c >>> 2 << 1 >> 3 & 4 | 5 ^ 6;\n"
                         "a += 1; a -= 1; a *= 2; a /= 2; a %= 3; a <<= 1; a >>= 1; a >>>= 1; a &= 1; a |= 1; a ^= 1;\n"
                         "i++; ++i; i--; --i; t = typeof x; delete o.p; delete o[k]; n = new F(1)(2);\n",
        "bad_statements.qvs": "if (x) else y; for (var in o) ; function () {}; return return;\n",
        "unclosed.qvs": "function f(a, { [ (",
        "nesting_limit.qvs": "x = " + "(" * 255 + "1" + ")" * 255 + ";\n",
        "nesting_past_limit.qvs": "x = " + "[" * 300 + "]" * 300 + ";\n",
    },
    "xml": {
        "cdata_comment.xml": "<a><![CDATA[<x>&amp;]]><!-- note --><b c='1' d=2 e/></a>",
        "unclosed_cdata.xml": "<a><![CDATA[never closed</a>",
        "unclosed_comment.xml": "<a>x<!-- never closed",
        "doctype_pre_script.xml": "<!DOCTYPE d><a><PRE><b></PRE><Script>if (a < b)</Script></a>",
        "declaration.xml": "<?xml version=\"1.0\"?><a>&lt;&GT;&amp;&apos;&quot;</a>",
        "entities_bad.xml": "<a>&nbsp;&#65;&</a>",
        "mismatched.xml": "<a><b>x</a></c>",
        "unclosed_tags.xml": "<invoke name=\"f\"><arguments><string>open",
        "utf16.xml": "<a b='\u00e9'>\u20ac</a>".encode("utf-16-le").decode("latin-1"),
        "stray_markup.xml": "<a>x > y</a><a/>/><=>",
    },
    "date_parse": {
        "iso_like": "2024-02-29 23:59:59",
        "month_words": "Thursday, February 29, 2024 11:59:59 PM",
        "zones": "Thu Feb 29 2024 23:59:59 GMT-0800 (PST)",
        "utc_offsets": "29 Feb 2024 23:59 UTC+14:00",
        "edge_years": "Dec 31 275759 and Jan 1 -271821",
        "two_digit": "2/29/24 12:00 am",
        "noise": "((Feb)) 29,,2024 -- 12:00:60",
        "bc": "Jan 1 100 B.C. 00:00",
    },
    "movie_call": {
        "new_call_delete": '<invoke name="velmo_new" returntype="xml"><arguments><string>Application</string>'
                           '<object><property id="Identifier"><number>1</number></property></object>'
                           '</arguments></invoke>',
        "getprop_forged": '<invoke name="velmo_getprop" returntype="xml"><arguments><number>305419896</number>'
                          '<string>x</string></arguments></invoke>',
        "setprop_string_target": '<invoke name="velmo_setprop" returntype="xml"><arguments><string>eval</string>'
                                 '<string>x</string><array><property id="0"><null/></property></array>'
                                 '</arguments></invoke>',
        "eval_text": '<invoke name="velmo_eval" returntype="xml"><arguments><string>o = {a: [1, "2"]}; '
                     'o.self = o; o</string></arguments></invoke>',
        "run_and_exec": '<invoke name="velmo_run" returntype="xml"><arguments><string>Initialize</string>'
                        '</arguments></invoke><invoke name="exec"><arguments><string>x</string></arguments></invoke>',
        "seh_names": '<invoke name="velmo_seh" returntype="xml"><arguments><string>eval</string>'
                     '<string>onLoad</string><string>f\'g</string></arguments></invoke>',
        "global_call_numbers": '<invoke name="parseInt" returntype="xml"><arguments><number>1e3</number>'
                               '<number>-0x10</number><number></number><number>NaN</number></arguments></invoke>',
        "single_value": '<object><property id="a"><string>null</string></property><property><true/></property>'
                        '</object>',
        "unclosed_cdata": '<invoke name="eval"><arguments><string><![CDATA[1+1</string></arguments></invoke>',
    },
    "movie_driver": {
        "escapes.txt": "version 9.0\r\nvariable x\\sy a\\\\b\\tc\r\nfunction g <number>1</number>\r\n"
                       "fscommand Velmo_Eval trace('\\n');\r\n",
        "bad_escape.txt": "fscommand exec a\\qb\n",
        "bad_version.txt": "version 70000.1\n",
        "missing_name.txt": "variable\nfunction\n",
        "every_command.txt": "fscommand Velmo_Run Initialize\nfscommand Velmo_AsynRun Later\nfscommand Velmo_File x.qvs\n"
                             "fscommand Velmo_Trace\nfscommand fullscreen true\nfscommand fullscreen maybe\n"
                             "fscommand exec \"a b\" /s\nfscommand quit\nfscommand Velmo_Quit\n",
        "flashcalls.txt": "flashcall <invoke name=\"velmo_call\" returntype=\"xml\"><arguments><number>1</number>"
                          "<string>m</string></arguments></invoke>\nflashcall <\nflashcall \n",
    },
    "profile": {
        "crlf_sections": "[A]\r\nx=dword:ffffffff\r\ny=sz:line\\r\\n\r\n[a]\r\nX=hex:00ff\r\n",
        "bad_values": "[S]\nd=dword:1g\nh=hex:zz\nq=qword:1\n=dword:1\nnoequals\n[S2\n",
        "many_types": "[One]\nb=hex:\ns=sz:\nd=dword:0\n[Two]\nb=hex:0102030405060708090a0b0c0d0e0f\n"
                      "s=sz:\\x00\\xff\\\\\nd=dword:80000000\n",
    },
    "manifest": {
        "every_table": RICH_MANIFEST,
        "bad_types": "[movie]\nfile = 1\nflags = \"x\"\n[window]\nwidth = 70000\n",
        "strings": "[application]\nidentifier = 'lit\\eral'\n[about]\nproduct = \"\\U0001F600 \\u00e9\"\n"
                   "comment = \"\"\"multi\"\"\"\n[movie]\nfile = \"m.swf\"\n",
        "duplicates": "[movie]\nfile = \"a\"\nfile = \"b\"\n[movie]\n[scripts]\ninit = \"a\"\nINIT = \"b\"\n",
        "paths": "[movie]\nfile = \"../up.swf\"\n[about]\npicture = \"C:\\\\x.png\"\n[appearance]\n"
                 "regions = [\"a.msk\", \"b/a.msk\"]\n",
    },
}


def texts():
    for target, seeds in TEXT_SEEDS.items():
        for name, text in seeds.items():
            seed(target, name, text.encode("latin-1") if target == "xml" and name == "utf16.xml" else text)


def stored_cabinet(files):
    """A cabinet of one uncompressed folder: (name, data, attributes) per file, no checksums."""
    entries, data = b"", b""
    for name, content, attributes in files:
        entries += struct.pack("<IIHHHH", len(content), len(data), 0, 0x3A21, 0x6BAF, attributes)
        entries += name.encode() + b"\0"
        data += content
    blocks, count = b"", 0
    for at in range(0, len(data), 32768):
        chunk = data[at:at + 32768]
        blocks += struct.pack("<IHH", 0, len(chunk), len(chunk)) + chunk
        count += 1
    files_at = 36 + 8
    data_at = files_at + len(entries)
    header = b"MSCF" + struct.pack("<IIIIIBBHHHHH", 0, data_at + len(blocks), 0, files_at, 0, 3, 1, 1, len(files),
                                   0, 0x1234, 0)
    return header + struct.pack("<IHH", data_at, count, 0) + entries + blocks


def cabinets(work):
    """Stored cabinets made here; compressed ones (MSZIP, and LZX when gcab offers it) made with gcab."""
    two = stored_cabinet([("first.ocx", b"first control", 0x21), ("notes.txt", b"notes", 0x20),
                          ("second.OCX", b"second control", 0x01)])
    seed("cabinet", "two-controls.cab", two)
    seed("cabinet", "empty-folder.cab", stored_cabinet([]))
    seed("cabinet", "truncated.cab", two[:-8])
    seed("cabinet", "many-blocks.cab", stored_cabinet([("big.ocx", bytes(range(256)) * 24 + b"x" * 1000, 0x20)])[:8000])
    if shutil.which("gcab") is None:
        print("generate_seeds: gcab is missing, so the compressed cabinet seeds are left as they are")
        for name in ("mszip.cab",):
            key = f"cabinet/{name}"
            if key in PREVIOUSLY_GENERATED:
                written.add(key)
        return
    folder = pathlib.Path(work) / "cabinet"
    folder.mkdir()
    (folder / "player.ocx").write_bytes(b"".join(b"line %d of the control\n" % (i % 37) for i in range(300)))
    (folder / "readme.txt").write_bytes(b"read me")
    subprocess.run(["gcab", "-c", "-z", "-n", str(folder / "mszip.cab"), str(folder / "player.ocx"),
                    str(folder / "readme.txt")], check=True)
    seed("cabinet", "mszip.cab", (folder / "mszip.cab").read_bytes())


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    velmo = str(pathlib.Path(sys.argv[1]).resolve())
    with tempfile.TemporaryDirectory(prefix="velmo-seeds-") as work:
        tools = Tools(velmo, pathlib.Path(work))
        modules(tools)
        applications(tools)
        cabinets(work)
    blobs()
    texts()
    GENERATED_LIST.write_text("".join(f"{key}\n" for key in sorted(written)))
    for folder in sorted(p for p in CORPUS.iterdir() if p.is_dir()):
        print(f"{folder.name}: {len(list(folder.iterdir()))} seeds")


if __name__ == "__main__":
    main()
