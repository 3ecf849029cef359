"""Damaged applications: the attached package (cut short, sizes that lie, names that would leave the
run folder) and the resource blobs (header fields that lie, streams that do not decode).

Each case damages the application packed from project/ and plays it headless. A package the
reader cannot use is "no package" or "damaged": start-up goes on and the movie is not found. A
blob that does not decode is reported (once a main window exists) and its record is absent.
"""
import struct
import zlib

import velmo_files as vf
from run_bad_input import case

MOVIE = b"FWS\x01"
NOT_FOUND = "[app] movie movie.swf not found"
NAME = "movie.swf\0".encode("utf-16-le")


def driver_line(keyword, text):
    """One line of a driving file: backslashes escaped, the text otherwise as it is."""
    return f"{keyword} {text.replace(chr(92), chr(92) * 2)}\n"


def play(c, data, driver=None, name="app.exe"):
    app = c.write(name, data)
    args = ["play", app, "--verbose"]
    if driver is not None:
        args += ["--movie-driver", c.write("movie.txt", driver)]
    return c.velmo(*args)


def inspect(c, name="app.exe", damage=None):
    """inspect exits 0 and lists the package, or with `damage` exits 1, says "package: damaged" and
    names the damage on standard error; damage="none" expects no package at all (status 0)."""
    result = c.velmo("inspect", c.path(name))
    lines = result.out.replace("\r\n", "\n").split("\n")  # a Windows build writes CR LF
    if damage is None:
        c.check("package:" in lines, f"{name}: no package listing in {result.out!r}")
        return result.status_is(0)
    if damage == "none":
        c.check("package: none" in lines, f"{name}: not 'package: none' in {result.out!r}")
        return result.status_is(0).err_is("")
    c.check("package: damaged" in lines, f"{name}: not 'package: damaged' in {result.out!r}")
    return result.status_is(1).err_has("damaged package: " + damage)


def with_package(c, root_children, **package_fields):
    return vf.replace_package(c.base_app(), vf.package(root_children, **package_fields))


def movie_entry(**fields):
    return vf.file_entry("movie.swf", MOVIE, **fields)


# ---- cut short, and trailers that lie ----

@case("package", "a file cut inside the package trailer has no package: the movie is not found")
def cut_in_trailer(c):
    play(c, c.base_app()[:-3]).status_is(0).out_has(NOT_FOUND)
    # The trailer's last bytes are gone: nothing says a package was meant to be there.
    inspect(c, damage="none")


@case("package", "bytes missing inside the package (trailer kept): the root no longer fits, so nothing is found")
def cut_inside_package(c):
    data = c.base_app()
    start, end = vf.package_span(data)
    body = data[start:end - 8]
    body = body[:len(body) // 2] + body[len(body) // 2 + 24:]
    play(c, data[:start] + body + struct.pack("<II", len(body), 1)).status_is(0).out_has(NOT_FOUND) \
        .err_has("velmo: warning: ", "damaged package: the root folder's size")
    inspect(c, damage="the root folder's size (431 bytes) is larger than the package")


@case("package", "trailer lengths past the file start, into the image, and zero; a zero flag: no package")
def lying_trailers(c):
    data = c.base_app()
    start, end = vf.package_span(data)
    # A flag of 1, as the builder writes it, claims a package: one that is not there is damage.
    # Any other flag is no claim: a zero flag, or bytes that merely end the file.
    pointless = "no package starts where the trailer's length points"
    trailers = {"past-start": (struct.pack("<II", len(data) + 100, 1), "the trailer's package length reaches before"),
                "into-image": (struct.pack("<II", 64, 1), pointless),
                "zero-length": (struct.pack("<II", 0, 1), pointless),
                "zero-flag": (struct.pack("<II", end - 8 - start, 0), "none"),
                "all-ones": (struct.pack("<II", 0xFFFFFFFF, 0xFFFFFFFF), "none")}
    for name, (trailer, damage) in trailers.items():
        play(c, data[:-8] + trailer, name=f"{name}.exe").status_is(0).out_has(NOT_FOUND)
        inspect(c, f"{name}.exe", damage)


@case("package", "a root not named Application is no package: the movie beside the executable is used")
def root_renamed(c):
    c.write("movie.swf", MOVIE)
    result = play(c, with_package(c, [movie_entry()], root_name="Applicatiom")).status_is(0)
    result.out_has("[app] movie movie.swf at ").out_lacks(NOT_FOUND, "_extra")
    result.err_has("damaged package: the root folder is named 'Applicatiom', not 'Application'")
    inspect(c, damage="the root folder is named 'Applicatiom'")


@case("package", "entries whose sizes lie: past their folder, past the file, below the CRC word")
def lying_entry_sizes(c):
    variants = {
        "past-folder": [movie_entry(stored_size=0x7FFFFFF0)],
        "past-file": [vf.file_entry("a.bin", b"x" * 64, stored_size=0xFFFFFFFF), movie_entry()],
        "below-crc": [movie_entry(stored_size=3)],
        "folder-past-root": [vf.folder_entry("sub", [movie_entry()], stored_size=0x10000000), movie_entry()],
        "empty-root": [],
    }
    damages = {"below-crc": "an entry header in the root folder is cut short",
               "past-folder": "'movie.swf' (2147483632 bytes) is larger than what is left of the root folder",
               "past-file": "'a.bin' (4294967295 bytes) is larger than what is left of the root folder",
               "folder-past-root": "'sub' (268435456 bytes) is larger than what is left of the root folder"}
    for name, children in variants.items():
        play(c, with_package(c, children), name=f"{name}.exe").status_is(0).out_has(NOT_FOUND)
        inspect(c, f"{name}.exe", damages.get(name))


@case("package", "name lengths that lie: huge, zero, without the NUL, longer than 259 characters")
def lying_name_lengths(c):
    variants = {
        "huge": vf.raw_entry(0, "movie.swf".encode("utf-16-le"), b"", name_units=0xFFFFFFFF),
        "zero": vf.raw_entry(0, b"", b"\0" * 8),
        "no-nul": vf.raw_entry(0, "movie.swf".encode("utf-16-le"), zlib.compress(MOVIE) + struct.pack("<I", zlib.crc32(MOVIE))),
        "overlong": vf.file_entry("m" * 300, MOVIE),
    }
    for name, entry in variants.items():
        # The damaged entry comes first: the real movie behind it is reached only if its sizes add up.
        result = play(c, with_package(c, [entry, movie_entry()]), name=f"{name}.exe").status_is(0)
        if name == "huge":
            result.out_has(NOT_FOUND)
        else:  # a well-sized entry with an unusable name is skipped
            result.out_has("[app] movie movie.swf at ").out_lacks(NOT_FOUND)
        inspect(c, f"{name}.exe", "an entry header in the root folder is cut short" if name == "huge" else None)


@case("package", "file data that does not decode: a CRC that differs, a cut stream, a corrupted stream")
def bad_file_data(c):
    good = zlib.compress(MOVIE * 64)
    corrupted = good[:2] + bytes(b ^ 0x5A for b in good[2:-4]) + good[-4:]
    variants = {
        "crc": movie_entry(crc=0x12345678),
        "cut-stream": vf.raw_entry(0, NAME, good[:len(good) // 2] + struct.pack("<I", zlib.crc32(MOVIE * 64))),
        "corrupted": vf.raw_entry(0, NAME, corrupted + struct.pack("<I", zlib.crc32(MOVIE * 64))),
    }
    for name, entry in variants.items():
        result = play(c, with_package(c, [entry]), name=f"{name}.exe").status_is(0).out_has(NOT_FOUND)
        if name == "corrupted":  # zlib's own failure is reported; the others are silent
            result.err_has("The compress(uncompress) input data was corrupted")


@case("package", "entry names that would leave the run folder are never extracted", )
def traversal_names(c):
    token = c.session.token
    devices = ["CON", "nul.txt", "LPT1"]
    hostile = devices + ["..", "...", " . ", "a:b", f"C:\\{token}", f"/tmp/{token}",
               f"..\\{token}", f"../{token}", "..\\" * 3 + token, "..\\" * 4 + token, "../" * 4 + token,
               "..\\" * 16 + token, f"sub\\..\\..\\..\\..\\{token}"]
    children = [vf.file_entry(name, b"planted\n") for name in hostile]
    folders = ["..", "CON", f"..\\{token}", f"../{token}", "..\\" * 3 + token]
    children += [vf.folder_entry(name, [vf.file_entry(token, b"planted\n")]) for name in folders]
    sub = vf.folder_entry("sub", children + [vf.file_entry("readme.txt", b"extracted with its folder\n")])
    data = with_package(c, children + [sub, movie_entry()])
    # exec of a folder extracts all of it (and starts nothing); exec of a hostile path finds nothing.
    # Device names are left out there: exec would look for them beside the executable too, where
    # Windows finds the device itself.
    paths = [name for name in hostile if name not in devices]
    driver = driver_line("fscommand exec", "sub") + "".join(driver_line("fscommand exec", name) for name in paths)
    if not c.emulated:  # the headless platform shows what exec would start instead of starting it
        driver += driver_line("fscommand exec", "sub\\readme.txt")
    result = play(c, data, driver).status_is(0).out_has("[app] movie movie.swf at ")
    if not c.emulated:
        result.err_has("_extra\\sub\\readme.txt")
        c.check(result.err.count("start ") == 1, f"exec started more than the one real file:\n{result.err}")
    listing = inspect(c)
    listing.out_has("sub\\readme.txt")


@case("package", "folders nested 200 deep, and a folder whose size lies about its children")
def deep_and_lying_folders(c):
    nested = vf.file_entry("leaf.txt", b"deep\n")
    for _ in range(200):
        nested = vf.folder_entry("d", [nested])
    lying = vf.folder_entry("sub", [vf.file_entry("readme.txt", b"x\n"), vf.file_entry("b.txt", b"y\n")],
                            stored_size=30)
    data = with_package(c, [nested, movie_entry(), lying])
    play(c, data, "fscommand exec d\nfscommand exec sub\n").status_is(0)
    inspect(c, damage="folders nest deeper than 64 at 'd\\d")


# ---- resource blobs ----

def damage_resource(data, type_, name, change):
    """`data` with resource TYPE/NAME's bytes replaced in place by change(bytes) (same length)."""
    r = vf.find_resource(data, type_, name)
    old = data[r.offset:r.offset + r.size]
    new = change(bytearray(old))
    assert len(new) == len(old), "a damaged resource keeps its size"
    return data[:r.offset] + bytes(new) + data[r.offset + r.size:]


def set_u32(at, value):
    def change(b):
        struct.pack_into("<I", b, at, value)
        return b
    return change


def resize_resource(data, type_, name, size):
    r = vf.find_resource(data, type_, name)
    out = bytearray(data)
    struct.pack_into("<I", out, r.entry + 4, size)
    return bytes(out)


@case("blob", "the start-up script's blob with lying or damaged header fields is reported and not run")
def script_blob_headers(c):
    data = c.base_app()
    body = vf.find_resource(data, "VELMO", "Initialize").size - 16

    def flip_stream(b):
        for i in range(20, len(b) - 4):
            b[i] ^= 0xA5
        return b

    variants = {
        "compressed-past-end": (set_u32(8, body + 1), "Bad compressed data length"),
        "compressed-huge": (set_u32(8, 0xFFFFFFFF), "Bad compressed data length"),
        "uncompressed-huge": (set_u32(4, 0xFFFFFFFF), "Bad compressed data length"),
        "uncompressed-short": (set_u32(4, 8), "There was not enough room in the compress(uncompress) output buffer"),
        "version": (lambda b: b[:2] + b"\x02" + b[3:], "Bad compressed data header"),
        "magic": (lambda b: b"TZ" + b[2:], "Bad compressed data header"),
        "stream": (flip_stream, "The compress(uncompress) input data was corrupted"),
    }
    for name, (change, message) in variants.items():
        damaged = damage_resource(data, "VELMO", "Initialize", change)
        result = play(c, damaged, name=f"{name}.exe").status_is(0)
        result.err_has(message).out_lacks("[trace] initialized").out_has("[app] running")
    # 16 bytes: a header and no stream at all.
    result = play(c, resize_resource(data, "VELMO", "Initialize", 16), name="sixteen.exe").status_is(0)
    result.err_has("Bad compressed data length").out_lacks("[trace] initialized")


@case("blob", "a blob promising more bytes than its stream holds gives what the stream holds")
def script_blob_short_stream(c):
    data = c.base_app()
    size = len(vf.blob_payload(data[vf.find_resource(data, "VELMO", "Initialize").offset:]))
    damaged = damage_resource(data, "VELMO", "Initialize", set_u32(4, size + 100))
    play(c, damaged).status_is(0).out_has("[trace] initialized").err_lacks("Bad compressed")


@case("blob", "damaged settings, movie list and region records are absent: defaults, no movie, no window shape")
def record_blobs(c):
    data = c.base_app()
    for record in ("ST", "ML", "RG"):
        damaged = damage_resource(data, "MOVORA", record, set_u32(8, 0x7FFFFFFF))
        result = play(c, damaged, name=f"{record}.exe").status_is(0).out_has("[app] running")
        # Before the main window exists nothing is shown.
        result.err_lacks("Bad compressed")
        if record == "ML":
            result.out_has('[app] movie name ""').out_lacks("[frame] movie ")
        else:
            result.out_has("[app] movie movie.swf at ")


@case("blob", "an identifier record cut short, or with a lying size, stops start-up")
def identifier_record(c):
    data = c.base_app()
    for name, damaged in {"short": resize_resource(data, "MOVORA", "ID", 40),
                          "past-end": resize_resource(data, "MOVORA", "ID", 0x7FFFFFFF),
                          "zero": resize_resource(data, "MOVORA", "ID", 0)}.items():
        play(c, damaged, name=f"{name}.exe").status_is(1).out_has("Invalid application data")
