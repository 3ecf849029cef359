"""Compiled modules built by hand with operands, jumps, frames and sections that no compiler writes.

A module the readers refuse gives "can't read the compiled script: PATH"; one the verifier refuses
never runs (its reason is the error text, and `velmo disasm` refuses it with the same); malformed
code that only the running interpreter can see ends the run with the bytecode error. `velmo run`
exits with 1 in all three cases.
"""
import struct

import velmo_files as vf
from velmo_files import code, op
from run_bad_input import case

# What `velmo run` prints after the module's name (these hand-built modules carry no lines).
MALFORMED = ": runtime error: Unimplemented Velmo Script bytecode\n"
OVERFLOW = ": runtime error: stack overflow\n"
RETURN_TRUE = code(op("PUSHTRUE"), op("RET"))


def main_only(*instructions, pool=b""):
    return vf.module([(".main", code(*instructions))], pool=pool)


def refused_by_verifier(c, cases):
    """Each module's run fails with the verifier's reason as its error text; disasm refuses the
    first module of the group with the same reason (one is enough: both call the one verifier)."""
    for index, (name, data) in enumerate(cases.items()):
        path = c.write(f"{name}.qvc", data)
        run = c.velmo("run", path).status_is(1)
        # The run names the module the way compilers name a file with an error.
        located = f"{c.arg(path)}: error: "
        reason = run.err.replace("\r\n", "\n")
        c.check(reason.startswith(located), f"{name}: the refusal does not name the module: {reason!r}")
        reason = reason[len(located):]
        c.check(reason.strip() != "" and "can't read" not in reason,
                f"{name}: not refused by the verifier: status {run.status}, {reason!r}")
        if index == 0:
            c.velmo("disasm", path).status_is(1).err_is(f"velmo: module refused: {reason}").out_is("")


@case("module", "the hand-built module the other cases start from runs (the assembler is right)")
def assembler_control(c):
    path = c.write("true.qvc", main_only(op("PUSHTRUE"), op("RET")))
    c.velmo("run", "--result", path).status_is(0).out_has("true")
    pool = vf.pool_name("x") + vf.pool_integer(42)
    path = c.write("global.qvc", main_only(op("PUSHCONST", 1), op("SETGLOBAL", 0), op("GETGLOBAL", 0), op("RET"),
                                           pool=pool))
    c.velmo("run", "--result", path).status_is(0).out_has("42")


@case("module", "jumps outside their function, into an operand or into another function are refused")
def jumps_out_of_range(c):
    cases = {
        "past-end": main_only(op("JMP", 100), op("PUSHTRUE"), op("RET")),
        "before-start": main_only(op("PUSHTRUE"), op("JMP", -100), op("RET")),
        "into-own-operand": main_only(op("JMP", -3), op("PUSHTRUE"), op("RET")),
        "into-next-operand": main_only(op("JMP", 2), op("PUSHINT", 7), op("RET")),
        "huge": main_only(op("JMP", 0x7FFFFFFF), op("PUSHTRUE"), op("RET")),
        "most-negative": main_only(op("JMP", -0x80000000), op("PUSHTRUE"), op("RET")),
        "try-handler-past-end": main_only(op("TRYENTER", 64), op("PUSHTRUE"), op("RET")),
        "conditional-past-end": main_only(op("PUSHTRUE"), op("JT", 9), op("PUSHTRUE"), op("RET")),
        # .main is JMP (5 bytes), PUSHTRUE, RET: 2 past the jump's end is .main's own end (where the
        # loader puts END, so allowed); 3 past it is the RET of f.
        "into-other-function": vf.module([(".main", code(op("JMP", 3), RETURN_TRUE)), ("f", RETURN_TRUE)]),
    }
    refused_by_verifier(c, cases)


@case("module", "pool, frame and opcode operands out of range are refused")
def operands_out_of_range(c):
    names_and_numbers = vf.pool_name("x") + vf.pool_integer(1)
    cases = {
        "const-past-pool": main_only(op("PUSHCONST", 5), op("RET")),
        "const-huge": main_only(op("PUSHCONST", 0xFFFFFFFF), op("RET"), pool=names_and_numbers),
        "const-names-a-name": main_only(op("PUSHCONST", 0), op("RET"), pool=names_and_numbers),
        "name-names-an-integer": main_only(op("GETGLOBAL", 1), op("RET"), pool=names_and_numbers),
        "name-past-pool": main_only(op("GETGLOBAL", 9), op("RET"), pool=names_and_numbers),
        "local-without-reserve": main_only(op("GETLOCAL", 3), op("RET")),
        "local-negative": main_only(op("RESERVE", 2), op("GETLOCAL", -1), op("RET")),
        "local-past-reserve": main_only(op("RESERVE", 2), op("PUSH1"), op("SETLOCAL", 2), op("PUSHTRUE"), op("RET")),
        "argument-past-slots": main_only(op("GETARG", 5), op("RET")),
        "argument-negative": main_only(op("GETARG", -1), op("RET")),
        "reserve-negative": main_only(op("RESERVE", -5), op("PUSHTRUE"), op("RET")),
        "reserve-late": main_only(op("PUSHTRUE"), op("RESERVE", 1), op("RET")),
        "argfix-late": main_only(op("PUSHTRUE"), op("ARGFIX", 3), op("RET")),
        "operand-cut-short": vf.module([(".main", code(op("PUSHTRUE"), bytes([53, 0, 0])))]),
    }
    for number in (0, 32, 105, 106, 107, 113, 255):
        cases[f"opcode-{number}"] = main_only(bytes([number]), op("PUSHTRUE"), op("RET"))
    refused_by_verifier(c, cases)


@case("module", "function tables, pool records and line records that lie are refused")
def tables_that_lie(c):
    functions = [(".main", RETURN_TRUE)]
    cases = {
        "offset-past-code": vf.module(functions, table=struct.pack(">I", 1) + b".main\0" + struct.pack(">I", 99)),
        "no-main": vf.module([("f", RETURN_TRUE)]),
        "two-mains": vf.module([(".main", RETURN_TRUE), (".main", RETURN_TRUE)]),
        "count-huge": vf.module(functions, table=vf.function_table(functions, count=0x40000000)),
        "count-zero": vf.module(functions, table=vf.function_table(functions, count=0)),
        "name-unterminated": vf.module(functions, table=struct.pack(">I", 1) + b".main"),
        "string-past-pool": main_only(op("PUSHCONST", 0), op("RET"), pool=b"\x04" + struct.pack(">I", 1000) + b"ab"),
        "string-odd-length": main_only(op("PUSHCONST", 0), op("RET"), pool=b"\x04" + struct.pack(">I", 3) + b"abc"),
        "unknown-kind": main_only(op("PUSHCONST", 0), op("RET"), pool=b"\x07" + b"\0" * 8),
        "boolean-two": main_only(op("PUSHCONST", 0), op("RET"), pool=b"\x02\x02"),
        "pattern-flags": main_only(op("PUSHCONST", 0), op("RET"), pool=b"\x0b\x80" + struct.pack(">I", 2) + b"a\0"),
        "line-past-code": vf.module(functions, lines=b"\x01" + struct.pack(">I", 1) + b"s" +
                                    b"\x02" + struct.pack(">II", 500, 1)),
    }
    refused_by_verifier(c, cases)


@case("module", "headers and directories the readers refuse: the run says the file cannot be read")
def unreadable_modules(c):
    good = vf.module([(".main", RETURN_TRUE)])
    past_end = bytearray(good)
    struct.pack_into("<I", past_end, 4 + 8, 4096)  # the code section's length
    overlap = bytearray(good)
    struct.pack_into("<I", overlap, 4 + 12 + 4, 56)  # the pool starts inside the code
    struct.pack_into("<I", overlap, 4 + 12 + 8, 4)
    twice = bytearray(good)
    struct.pack_into("<I", twice, 4 + 12, 0)  # a second code section
    cases = {
        "magic": b"QX1c" + good[4:], "cut-in-directory": good[:20], "cut-in-code": good[:57],
        "length-past-end": bytes(past_end), "overlapping": bytes(overlap), "kind-twice": bytes(twice),
        "hash-line-only": b"#!velmo run", "empty": b"",
        "offset-in-header": good[:4] + struct.pack("<III", 0, 0, 2) + good[16:],
    }
    for name, data in cases.items():
        path = c.write(f"{name}.qvc", data)
        c.velmo("run", path).status_is(1).err_is(f"{c.arg(path)}: error: not a compiled module\n")
    c.velmo("disasm", path).status_is(1).err_is(f"velmo: not a readable compiled module: {c.arg(path)}\n")


@case("module", "malformed code the verifier cannot see ends the run with the bytecode error")
def malformed_at_run_time(c):
    cases = {
        "putdown-past-stack": main_only(op("PUSHTRUE"), op("PUTDOWN", 100), op("RET")),
        "putdown-negative": main_only(op("PUSHTRUE"), op("PUTDOWN", -3), op("RET")),
        "rot-past-stack": main_only(op("PUSHTRUE"), op("ROT", 100), op("RET")),
        "rot-back-past-stack": main_only(op("PUSHTRUE"), op("ROT", -100), op("RET")),
        "dropn-past-stack": main_only(op("PUSHTRUE"), op("DROPN", 100), op("RET")),
        "add-one-to-a-string": main_only(op("PUSHCONST", 0), op("ADDI1"), op("RET"), pool=vf.pool_string("text")),
    }
    for name, data in cases.items():
        path = c.write(f"{name}.qvc", data)
        c.velmo("run", path).status_is(1).err_is(c.arg(path) + MALFORMED)
    # Popping into the frame's own cells, and counts of try records and with-scopes that are not
    # open, stay inside the stack: the run ends one way or the other, and that is all.
    for name, instructions in {"pop-frame": [op("POP"), op("POP"), op("PUSHTRUE"), op("RET")],
                               "return-frame-cell": [op("RET")], "throw-frame-cell": [op("THROW")],
                               "call-frame-cell": [op("CALL"), op("RET")],
                               "tryleave": [op("TRYLEAVE", 5), op("PUSHTRUE"), op("RET")],
                               "withleave": [op("WITHLEAVE", 5), op("PUSHTRUE"), op("RET")]}.items():
        c.velmo("run", "--result", c.write(f"{name}.qvc", main_only(*instructions))).status_is(0, 1)


@case("module", "operands with a documented neutral meaning: DROPN below 0 and GETARGI outside the frame")
def neutral_operands(c):
    path = c.write("dropn.qvc", main_only(op("PUSHTRUE"), op("DROPN", -3), op("RET")))
    c.velmo("run", "--result", path).status_is(0).out_has("undefined")
    path = c.write("getargi.qvc", main_only(op("PUSHINT", 100000), op("GETARGI"), op("RET")))
    c.velmo("run", "--result", path).status_is(0).out_has("undefined")
    path = c.write("getargi-negative.qvc", main_only(op("PUSHINT", -7), op("GETARGI"), op("RET")))
    c.velmo("run", "--result", path).status_is(0).out_has("undefined")


@case("module", "a reservation larger than the stack raises stack overflow before writing")
def reserve_past_stack(c):
    path = c.write("reserve.qvc", main_only(op("RESERVE", 32767), op("PUSHTRUE"), op("RET")))
    # The engine's own stack (the projector's); the tool's default has room for this reservation.
    c.velmo("run", "--stack", "4096", path).status_is(1).err_is(c.arg(path) + OVERFLOW)
