"""Reading and rewriting the parts of an application file that the damage cases change.

An application is a PE image whose resource section holds the records and scripts, followed by the
attached package. These helpers find a resource's bytes in the file (so that a case can overwrite
them in place), rebuild a package from a list of entries (so that a case can plant names and sizes
that `velmo pack` would never write), and write resource blobs. They know only what the cases need:
PE32 and PE32+ images with a resource directory three levels deep.
"""
import struct
import zlib


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


class Resource:
    def __init__(self, type_, name, language, offset, size, entry):
        self.type, self.name, self.language = type_, name, language
        self.offset, self.size = offset, size  # where the data lies in the file
        self.entry = entry  # file offset of the data entry: RVA, size, code page, reserved

    def __repr__(self):
        return f"Resource({self.type}/{self.name}, {self.size} bytes at {self.offset})"


def _sections(data):
    pe = u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    count = u16(data, pe + 6)
    optional_size = u16(data, pe + 20)
    optional = pe + 24
    magic = u16(data, optional)
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = u32(data, directories + 2 * 8)
    table = optional + optional_size
    sections = []
    for i in range(count):
        at = table + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))
    return resource_rva, sections


def _file_offset(sections, rva):
    for start, size, raw in sections:
        if start <= rva < start + size:
            return raw + rva - start
    raise ValueError(f"RVA {rva:#x} lies in no section")


def resource_directory_offset(data):
    """The file offset of the image's root resource directory."""
    resource_rva, sections = _sections(data)
    return _file_offset(sections, resource_rva)


def resources(data):
    """Every resource of the image, as Resource records with file offsets."""
    resource_rva, sections = _sections(data)
    base = _file_offset(sections, resource_rva)

    def entries(directory):
        named, numbered = u16(data, directory + 12), u16(data, directory + 14)
        for i in range(named + numbered):
            name_word, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if name_word & 0x80000000:
                at = base + (name_word & 0x7FFFFFFF)
                length = u16(data, at)
                key = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            else:
                key = f"#{name_word}"
            yield key, target

    found = []
    for type_, to_names in entries(base):
        for name, to_languages in entries(base + (to_names & 0x7FFFFFFF)):
            for language, to_data in entries(base + (to_languages & 0x7FFFFFFF)):
                data_rva, size = struct.unpack_from("<II", data, base + to_data)
                found.append(Resource(type_, name, int(language[1:]), _file_offset(sections, data_rva), size,
                                      base + to_data))
    return found


def find_resource(data, type_, name):
    for r in resources(data):
        if r.type.upper() == type_.upper() and r.name.upper() == name.upper():
            return r
    raise KeyError(f"{type_}/{name} is not in the image")


# ---- resource blobs ----

def blob(payload, uncompressed=None, compressed=None, magic=b"ZT\x01\x00"):
    """A resource blob of `payload`; the size fields may be given to make them lie."""
    body = zlib.compress(payload)
    return (magic + struct.pack("<III", len(payload) if uncompressed is None else uncompressed,
                                len(body) if compressed is None else compressed, zlib.crc32(payload)) + body)


def blob_payload(data):
    """The decoded payload of a well-formed blob."""
    if data[:4] != b"ZT\x01\x00":
        raise ValueError("not a resource blob")
    return zlib.decompress(data[16:16 + u32(data, 8)])


# ---- the attached package ----

def package_span(data):
    """(start, end) of the package in the file: start at the magic, end after the flag word."""
    length = u32(data, len(data) - 8)
    return len(data) - 8 - length, len(data)


def file_entry(name, content, stored_size=None, crc=None, type_=0):
    """A file entry; `stored_size` and `crc` may lie about the content that follows."""
    body = zlib.compress(content) + struct.pack("<I", zlib.crc32(content) if crc is None else crc)
    return _entry(type_, name, body, stored_size)


def folder_entry(name, children, stored_size=None, type_=1):
    return _entry(type_, name, b"".join(children), stored_size)


def _entry(type_, name, content, stored_size=None):
    encoded = name.encode("utf-16-le") + b"\0\0"
    return raw_entry(type_, encoded, content, stored_size)


def raw_entry(type_, name_bytes, content, stored_size=None, name_units=None):
    """An entry written from the raw bytes of its name, whose length field may lie as well."""
    units = len(name_bytes) // 2 if name_units is None else name_units
    size = len(content) if stored_size is None else stored_size
    return struct.pack("<II", type_, units) + name_bytes + struct.pack("<I", size) + content


def package(root_children, root_name="Application", length=None, flag=1):
    """A whole package (magic, root folder, length, flag) ready to append behind an image."""
    body = b"QVR\0" + folder_entry(root_name, root_children)
    return body + struct.pack("<II", len(body) if length is None else length, flag)


def replace_package(data, new_package):
    """The application with its package replaced."""
    start, _ = package_span(data)
    return data[:start] + new_package


# ---- compiled modules ----

# Opcode numbers and operand classes (script/runtime/opcodes.def) of the instructions the cases use.
OPCODES = {
    "TRYLEAVE": (40, "u8"), "TRYENTER": (41, "rel32"), "WITHLEAVE": (42, "u8"), "GETARGI": (44, None),
    "ARGFIX": (45, "u8"), "RESERVE": (46, "i16"), "RET": (51, None), "CALL": (52, None), "JMP": (53, "rel32"),
    "JT": (55, "rel32"), "ADD": (68, None), "ADDI1": (36, None), "THROW": (39, None), "GETLOCAL": (84, "i16"),
    "SETLOCAL": (83, "i16"), "GETARG": (86, "u8"), "SETARG": (85, "u8"), "GETGLOBAL": (88, "name"),
    "SETGLOBAL": (87, "name"), "PUSHINT": (89, "u32"), "PUSH1": (92, None), "PUSHUNDEF": (94, None),
    "PUSHTRUE": (96, None), "PUSHNULL": (97, None), "PUSHCONST": (98, "const"), "ROT": (99, "u8"),
    "PUTDOWN": (101, "u8"), "DROPN": (102, "u8"), "POP": (103, None), "DUP": (104, None), "NOP": (105, None),
    "END": (106, None), "IDLE": (107, None),
}
OPERAND_FORMS = {"u8": ">b", "i16": ">h", "u32": ">i", "name": ">I", "const": ">I", "rel32": ">i"}


def op(name, operand=None):
    """One instruction's bytes; `operand` is packed by the opcode's class."""
    number, form = OPCODES[name]
    if form is None:
        return bytes([number])
    return bytes([number]) + struct.pack(OPERAND_FORMS[form], operand)


def code(*instructions):
    return b"".join(instructions)


def pool_integer(value):
    return b"\x03" + struct.pack(">q", value)


def pool_string(text):
    data = text.encode("utf-16-le")
    return b"\x04" + struct.pack(">I", len(data)) + data


def pool_name(text):
    return b"\x0a" + text.encode() + b"\0"


def function_table(functions, count=None):
    table = struct.pack(">I", len(functions) if count is None else count)
    offset = 0
    for name, body in functions:
        table += name.encode() + b"\0" + struct.pack(">I", offset)
        offset += len(body)
    return table


def module(functions, pool=b"", lines=b"", table=None, sections=None):
    """A module of `functions` [(name, code bytes)], in the writer's layout: magic, four directory
    entries, the end mark, then code, pool, function table and lines back to back. `table` replaces
    the function table; `sections` replaces the directory's (kind, offset, length) entries."""
    body_code = b"".join(body for _, body in functions)
    parts = [(0, body_code), (1, pool), (2, function_table(functions) if table is None else table), (3, lines)]
    at = 4 + 12 * len(parts) + 4
    entries = []
    for kind, data in parts:
        entries.append((kind, at, len(data)))
        at += len(data)
    header = b"QX1b" + b"".join(struct.pack("<III", *e) for e in (sections or entries)) + b"\xff\xff\xff\xff"
    return header + b"".join(data for _, data in parts)
