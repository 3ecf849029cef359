#!/usr/bin/env python3
"""Writes the project's own test movies: one frame, a solid rectangle on a coloured stage, and
AVM1 action code that registers ExternalInterface callbacks, sends fscommands and makes one
external call whose result comes back as an fscommand. Tests play these in a real player to
exercise the movie bridges without depending on any movie made elsewhere.

As a module, make_movie() returns the bytes (MovieError for a value no movie can carry); as a
command, `movie_writer.py OUT.swf [options]` writes them (--help lists the options) and exits 2
on a bad argument.
"""

import argparse
import re
import struct
import sys
import zlib
from typing import Iterable, Optional, Sequence, Tuple

TWIPS_PER_PIXEL = 20
# Strings are written as UTF-8, which players read from version 6 on.
MIN_VERSION = 6
SHAPE_ID = 1
RECT_DEPTH = 1
MAX_RECORD_BYTES = 0xFFFF  # an action record's length field has 16 bits
MAX_SB_BITS = 31  # RECT and MoveTo fields give their width in five bits
MAX_EDGE_TWIPS = (1 << 16) - 1  # straight edges hold at most 17 signed bits

TAG_END, TAG_SHOW_FRAME, TAG_DEFINE_SHAPE, TAG_SET_BACKGROUND_COLOR = 0, 1, 2, 9
TAG_DO_ACTION, TAG_PLACE_OBJECT2, TAG_FILE_ATTRIBUTES = 12, 26, 69

ACTION_STOP, ACTION_POP, ACTION_GET_VARIABLE, ACTION_RETURN = 0x07, 0x17, 0x1C, 0x3E
ACTION_ADD2, ACTION_GET_MEMBER, ACTION_CALL_METHOD = 0x47, 0x4E, 0x52
ACTION_GET_URL, ACTION_PUSH, ACTION_GET_URL2, ACTION_DEFINE_FUNCTION = 0x83, 0x96, 0x9A, 0x9B
PUSH_STRING, PUSH_NULL, PUSH_INTEGER = 0, 2, 7


class MovieError(ValueError):
    """A value the movie cannot carry, worded for the command line."""


# ---- Bit-packed fields


class BitWriter:
    """Most significant bit first, as the RECT, MATRIX and shape records are packed."""

    def __init__(self) -> None:
        self.bits: list = []

    def unsigned(self, value: int, width: int) -> None:
        assert 0 <= value < (1 << width)
        self.bits.extend((value >> (width - 1 - i)) & 1 for i in range(width))

    def signed(self, value: int, width: int) -> None:
        self.unsigned(value & ((1 << width) - 1) if width else 0, width)

    def to_bytes(self) -> bytes:
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def signed_bits(*values: int) -> int:
    """The fewest bits a signed field needs to hold every one of `values` (0 for all zeros)."""
    return max((v.bit_length() if v >= 0 else (~v).bit_length()) + 1 if v else 0 for v in values)


def rect_field(x_min: int, x_max: int, y_min: int, y_max: int) -> bytes:
    width = signed_bits(x_min, x_max, y_min, y_max)
    if width > MAX_SB_BITS:
        raise MovieError("a rectangle reaches beyond what the movie format can hold")
    bits = BitWriter()
    bits.unsigned(width, 5)
    for value in (x_min, x_max, y_min, y_max):
        bits.signed(value, width)
    return bits.to_bytes()


# ---- Tags


def tag(code: int, body: bytes) -> bytes:
    # The long form is needed from 63 bytes; the short form's 0x3F means "length follows".
    if len(body) < 0x3F:
        return struct.pack("<H", code << 6 | len(body)) + body
    return struct.pack("<HI", code << 6 | 0x3F, len(body)) + body


def rgb(colour: int) -> bytes:
    return bytes(((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF))


def straight_edges(bits: BitWriter, dx: int, dy: int) -> None:
    """Horizontal or vertical edges covering (`dx`, `dy`), split where one edge cannot hold it."""
    total = dx or dy
    while total:
        step = max(-MAX_EDGE_TWIPS, min(MAX_EDGE_TWIPS, total))
        total -= step
        width = max(signed_bits(step), 2)
        bits.unsigned(1, 1)  # edge record
        bits.unsigned(1, 1)  # straight
        bits.unsigned(width - 2, 4)
        bits.unsigned(0, 1)  # not a general line
        bits.unsigned(1 if dy else 0, 1)  # vertical
        bits.signed(step, width)


def define_shape(x: int, y: int, w: int, h: int, colour: int) -> bytes:
    """A rectangle filled with `colour`, drawn clockwise from its top left in stage twips."""
    body = struct.pack("<H", SHAPE_ID) + rect_field(x, x + w, y, y + h)
    body += bytes((1, 0x00)) + rgb(colour)  # one solid fill style
    body += bytes((0,))  # no line styles
    bits = BitWriter()
    bits.unsigned(1, 4)  # fill style index bits
    bits.unsigned(0, 4)  # line style index bits
    bits.unsigned(0, 1)  # style change record
    bits.unsigned(0b00101, 5)  # no new styles, no line style, fill style 1 set, no fill 0, move to
    move = signed_bits(x, y)
    bits.unsigned(move, 5)
    bits.signed(x, move)
    bits.signed(y, move)
    bits.unsigned(1, 1)  # fill style 1: the fill on the right of a clockwise path
    for dx, dy in ((w, 0), (0, h), (-w, 0), (0, -h)):
        straight_edges(bits, dx, dy)
    bits.unsigned(0, 6)  # end of shape
    return tag(TAG_DEFINE_SHAPE, body + bits.to_bytes())


def place_rectangle() -> bytes:
    # Has a character and a matrix; the matrix is the identity (no scale, no rotation, no move).
    return tag(TAG_PLACE_OBJECT2, bytes((0x06,)) + struct.pack("<HH", RECT_DEPTH, SHAPE_ID) + bytes((0,)))


# ---- Actions


def action(code: int, payload: bytes = b"") -> bytes:
    if code < 0x80:
        return bytes((code,))
    if len(payload) > MAX_RECORD_BYTES:
        raise MovieError("a value is too long for one action record (65535 bytes)")
    return struct.pack("<BH", code, len(payload)) + payload


def c_string(text: str) -> bytes:
    if "\0" in text:
        raise MovieError("a movie string cannot hold the NUL character: %r" % text)
    try:
        return text.encode("utf-8") + b"\0"
    except UnicodeEncodeError:
        raise MovieError("not valid text (undecodable bytes or a lone surrogate): %r" % text) from None


def push(*values) -> bytes:
    """One push record: str as a string, int as a 32-bit integer, None as null."""
    payload = b""
    for value in values:
        if value is None:
            payload += bytes((PUSH_NULL,))
        elif isinstance(value, int):
            payload += bytes((PUSH_INTEGER,)) + struct.pack("<i", value)
        else:
            payload += bytes((PUSH_STRING,)) + c_string(value)
    return action(ACTION_PUSH, payload)


def external_interface_method(method: str, arg_count: int) -> bytes:
    """Calls flash.external.ExternalInterface[`method`] on the `arg_count` values already pushed
    (last argument deepest) and leaves its result on the stack."""
    return (push(arg_count, "flash") + action(ACTION_GET_VARIABLE) + push("external") + action(ACTION_GET_MEMBER)
            + push("ExternalInterface") + action(ACTION_GET_MEMBER) + push(method) + action(ACTION_CALL_METHOD))


def add_callback(name: str, prefix: str) -> bytes:
    """ExternalInterface.addCallback(name, null, function (x) { return prefix + x; })"""
    code = push(prefix, "x") + action(ACTION_GET_VARIABLE) + action(ACTION_ADD2) + action(ACTION_RETURN)
    if len(code) > MAX_RECORD_BYTES:
        raise MovieError("a callback's prefix is too long for one function body (65535 bytes)")
    # An empty function name makes the definition push the function instead of binding it.
    definition = action(ACTION_DEFINE_FUNCTION, c_string("") + struct.pack("<H", 1) + c_string("x")
                        + struct.pack("<H", len(code))) + code
    return definition + push(None, name) + external_interface_method("addCallback", 3) + action(ACTION_POP)


def fscommand(command: str, argument: str) -> bytes:
    return action(ACTION_GET_URL, c_string("FSCommand:" + command) + c_string(argument))


def call_and_reply(name: str, argument: str, reply_command: str) -> bytes:
    """fscommand(reply_command, ExternalInterface.call(name, argument)); the command's URL goes
    first so that the call's result lands on top of it as the target."""
    return (push("FSCommand:" + reply_command, argument, name) + external_interface_method("call", 2)
            + action(ACTION_GET_URL2, bytes((0,))))  # no variables sent, a window target


def frame_actions(callbacks, fscommands, call, reply_command) -> bytes:
    code = b"".join(add_callback(name, prefix) for name, prefix in callbacks)
    code += b"".join(fscommand(command, argument) for command, argument in fscommands)
    if call is not None:
        code += call_and_reply(call[0], call[1], reply_command)
    return tag(TAG_DO_ACTION, code + action(ACTION_STOP) + b"\0")


# ---- The movie


def make_movie(*, version: int = 8, compressed: bool = False, size: Tuple[int, int] = (320, 240),
               rate: float = 12, background: int = 0xFFFFFF, rect: Sequence[int] = (40, 30, 120, 80),
               color: int = 0xFF0000, callbacks: Iterable[Tuple[str, str]] = (),
               fscommands: Iterable[Tuple[str, str]] = (), call: Optional[Tuple[str, str]] = None,
               reply_command: Optional[str] = None) -> bytes:
    """The movie's bytes. `size` and `rect` (x, y, width, height) are in pixels, colours 0xRRGGBB,
    `callbacks` (name, prefix) and `fscommands` (command, argument) pairs in the order they run;
    `call` (name, argument) needs `reply_command` and the reverse."""
    if not MIN_VERSION <= version <= 255:
        raise MovieError("version must be from %d to 255 (the movie's text is UTF-8)" % MIN_VERSION)
    if (call is None) != (reply_command is None):
        raise MovieError("--call and --reply-command go together")
    width, height = size
    if width <= 0 or height <= 0:
        raise MovieError("the stage needs a positive width and height")
    x, y, w, h = rect
    if w <= 0 or h <= 0:
        raise MovieError("the rectangle needs a positive width and height")
    fixed_rate = round(rate * 256)  # 8.8 fixed point
    if not 1 <= fixed_rate <= 0xFFFF:
        raise MovieError("the frame rate must be above 0 and below 256")
    for colour in (background, color):
        if not 0 <= colour <= 0xFFFFFF:
            raise MovieError("a colour must be from 000000 to FFFFFF")

    twips = TWIPS_PER_PIXEL
    body = rect_field(0, width * twips, 0, height * twips) + struct.pack("<HH", fixed_rate, 1)
    if version >= 8:  # the tag exists from version 8 and must come first; no AS3, no network flags
        body += tag(TAG_FILE_ATTRIBUTES, struct.pack("<I", 0))
    body += tag(TAG_SET_BACKGROUND_COLOR, rgb(background))
    body += define_shape(x * twips, y * twips, w * twips, h * twips, color)
    body += place_rectangle()
    body += frame_actions(list(callbacks), list(fscommands), call, reply_command)
    body += tag(TAG_SHOW_FRAME, b"") + tag(TAG_END, b"")

    length = 8 + len(body)
    if length > 0xFFFFFFFF:
        raise MovieError("the movie would be larger than its header can record")
    signature = b"CWS" if compressed else b"FWS"
    return signature + struct.pack("<BI", version, length) + (zlib.compress(body, 9) if compressed else body)


# ---- Command line


def colour_arg(text: str) -> int:
    if not re.fullmatch(r"[0-9A-Fa-f]{6}", text):
        raise argparse.ArgumentTypeError("a colour is six hexadecimal digits RRGGBB, not %r" % text)
    return int(text, 16)


def size_arg(text: str) -> Tuple[int, int]:
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match or int(match[1]) == 0 or int(match[2]) == 0:
        raise argparse.ArgumentTypeError("a size is WIDTHxHEIGHT in whole pixels above 0, not %r" % text)
    return int(match[1]), int(match[2])


def rect_arg(text: str) -> Tuple[int, ...]:
    match = re.fullmatch(r"(-?\d+),(-?\d+),(\d+),(\d+)", text)
    if not match or int(match[3]) == 0 or int(match[4]) == 0:
        raise argparse.ArgumentTypeError("a rectangle is X,Y,W,H in whole pixels, W and H above 0, not %r" % text)
    return tuple(int(part) for part in match.groups())


def rate_arg(text: str) -> float:
    if not re.fullmatch(r"\d+(\.\d+)?", text) or not 0 < float(text) < 256:
        raise argparse.ArgumentTypeError("a frame rate is a number above 0 and below 256, not %r" % text)
    return float(text)


def version_arg(text: str) -> int:
    if not re.fullmatch(r"\d+", text) or not MIN_VERSION <= int(text) <= 255:
        raise argparse.ArgumentTypeError("a version is a whole number from %d to 255, not %r" % (MIN_VERSION, text))
    return int(text)


def pair_arg(what: str):
    def parse(text: str) -> Tuple[str, str]:
        name, sep, value = text.partition("=")
        if not sep or not name:
            raise argparse.ArgumentTypeError("expected %s, not %r" % (what, text))
        return name, value
    return parse


def reply_arg(text: str) -> str:
    if not text:
        raise argparse.ArgumentTypeError("the reply command needs a name")
    return text


def parse_args(argv: Sequence[str]) -> argparse.Namespace:
    # argparse reports a bad argument on stderr with exit status 2.
    parser = argparse.ArgumentParser(
        description="Write a one-frame AVM1 test movie. Players give movies ExternalInterface from version 8 on.",
        allow_abbrev=False)
    parser.add_argument("out", metavar="OUT.swf")
    parser.add_argument("--compressed", action="store_true", help="zlib-compressed (CWS) instead of FWS")
    parser.add_argument("--version", type=version_arg, default=8, help="movie version (default 8)")
    parser.add_argument("--size", type=size_arg, default=(320, 240), metavar="WIDTHxHEIGHT",
                        help="stage size in pixels (default 320x240)")
    parser.add_argument("--rate", type=rate_arg, default=12.0, metavar="FPS", help="frame rate (default 12)")
    parser.add_argument("--background", type=colour_arg, default=0xFFFFFF, metavar="RRGGBB",
                        help="stage colour (default FFFFFF)")
    parser.add_argument("--rect", type=rect_arg, default=(40, 30, 120, 80), metavar="X,Y,W,H",
                        help="the rectangle in pixels (default 40,30,120,80)")
    parser.add_argument("--color", type=colour_arg, default=0xFF0000, metavar="RRGGBB",
                        help="the rectangle's colour (default FF0000)")
    parser.add_argument("--callback", type=pair_arg("NAME=PREFIX"), action="append", default=[],
                        metavar="NAME=PREFIX",
                        help="ExternalInterface.addCallback(NAME, null, function (x) { return PREFIX + x; })")
    parser.add_argument("--fscommand", type=pair_arg("CMD=ARG"), action="append", default=[], metavar="CMD=ARG",
                        help="fscommand(CMD, ARG), in the order given, after the callbacks")
    parser.add_argument("--call", type=pair_arg("NAME=ARG"), action="append", default=[], metavar="NAME=ARG",
                        help="r = ExternalInterface.call(NAME, ARG) after the fscommands; needs --reply-command")
    parser.add_argument("--reply-command", type=reply_arg, action="append", default=[], metavar="CMD",
                        help="fscommand(CMD, r) with the --call's result")
    # A value is always the next word, even one that starts with '-' (a rectangle at -10,-10), which
    # argparse alone would take for an option.
    valued = {"--version", "--size", "--rate", "--background", "--rect", "--color", "--callback", "--fscommand",
              "--call", "--reply-command"}
    words, rest = [], list(argv)
    while rest:
        word = rest.pop(0)
        words.append(word + "=" + rest.pop(0) if word in valued and rest else word)
    args = parser.parse_args(words)
    if len(args.call) > 1 or len(args.reply_command) > 1:
        parser.error("--call and --reply-command may each be given once")
    if len(args.call) != len(args.reply_command):
        parser.error("--call needs --reply-command, and --reply-command needs --call")
    return args


def main(argv: Sequence[str]) -> int:
    args = parse_args(argv)
    try:
        movie = make_movie(version=args.version, compressed=args.compressed, size=args.size, rate=args.rate,
                           background=args.background, rect=args.rect, color=args.color,
                           callbacks=args.callback, fscommands=args.fscommand,
                           call=args.call[0] if args.call else None,
                           reply_command=args.reply_command[0] if args.reply_command else None)
    except MovieError as error:
        print("movie_writer.py: error: %s" % error, file=sys.stderr)
        return 2
    try:
        with open(args.out, "wb") as out:
            out.write(movie)
    except OSError as error:
        print("movie_writer.py: error: cannot write %s: %s" % (args.out, error.strerror), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
