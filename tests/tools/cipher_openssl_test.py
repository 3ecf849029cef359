#!/usr/bin/env python3
"""Checks Encryption's digests and ciphers against the openssl command line on the same keys and texts.

The keys are derived here on their own (fold, odd parity, MD5 through `openssl md5`, the derivation
key's Triple DES through `openssl enc`), the texts enciphered by openssl, and the results compared with
what `velmo run` prints for the same calls. Blowfish reads each block as two little-endian words while
openssl reads them big-endian, so every 4-byte half is swapped around the openssl call. The command
line cuts Blowfish keys to 16 bytes, so Blowfish goes through openssl's library (libcrypto) instead.
Usage: cipher_openssl_test.py --velmo VELMO [--runner WORD ...]
"""
import argparse
import base64
import ctypes
import ctypes.util
import os
import pathlib
import subprocess
import sys
import tempfile

# This program's own key for the Blowfish key derivation (shell/ciphers.cpp).
DERIVATION_KEY = bytes([0x3E, 0x91, 0x0B, 0xD5, 0x62, 0xA7, 0x1C, 0xF8, 0x4D, 0x23, 0xB6, 0x70,
                        0xE9, 0x58, 0x0F, 0xC2, 0x87, 0x34, 0xDA, 0x6B, 0x15, 0xAE, 0x49, 0xF3])
KEYS = ["secret", "", "a key longer than sixteen characters, folded twice"]
TEXTS = ["hello world", "", "exactly8", "a text of several blocks, enciphered one by one"]


def openssl(args, data):
    return subprocess.run(["openssl"] + args, input=data, capture_output=True, check=True).stdout


def md5(data):
    return bytes.fromhex(openssl(["md5", "-r"], data).split()[0].decode())


def fold(key):
    out = bytearray(8)
    for i, c in enumerate(key):
        if i % 16 < 8:
            out[i % 8] ^= (c << 1) & 0xFF
        else:
            out[7 - i % 8] ^= int(f"{c:08b}"[::-1], 2)
    return bytes(out)


def odd_parity(data):
    return bytes((b & 0xFE) | (bin(b & 0xFE).count("1") % 2 == 0) for b in data)


def des(key, data, decrypt=False):
    return openssl(["enc", "-des-ede3", "-K", key.hex(), "-nopad"] + (["-d"] if decrypt else []), data)


def swap_halves(data):
    return b"".join(data[i:i + 4][::-1] for i in range(0, len(data), 4))


def blowfish(key, data):
    # `openssl enc -bf-ecb` cuts a key to 16 bytes ("ignoring excess"); ours have 56, so the blocks
    # go through the same library's Blowfish functions with the whole key.
    crypto = ctypes.CDLL(ctypes.util.find_library("crypto") or "libcrypto.so.3")
    schedule = ctypes.create_string_buffer(4 * (18 + 1024))
    crypto.BF_set_key(schedule, len(key), key)
    plain = swap_halves(data)
    out = bytearray()
    for at in range(0, len(plain), 8):
        block = ctypes.create_string_buffer(8)
        crypto.BF_ecb_encrypt(plain[at:at + 8], block, schedule, 1)
        out += block.raw
    return swap_halves(bytes(out))


def pad(data):
    return data + b"\0" * (-len(data) % 8)


def expected_lines():
    lines = []
    for key_text in KEYS:
        key = key_text.encode()
        des_key = odd_parity(md5(key) + fold(key))
        digest = md5(key)
        bf_key = md5(fold(key)) + digest + des(DERIVATION_KEY, digest) + fold(key)
        for text in TEXTS:
            data = pad(text.encode())
            lines.append(base64.b64encode(des(des_key, data) if data else b"").decode())
            lines.append(base64.b64encode(blowfish(bf_key, data) if data else b"").decode())
        lines.append(md5(key).hex())
    return lines


def script():
    out = []
    for key in KEYS:
        for text in TEXTS:
            out.append(f'trace(Encryption.desEncode("{key}", "{text}"));')
            out.append(f'trace(Encryption.blowfishEncode("{key}", "{text}"));')
        out.append(f'trace(Encryption.md5("{key}"));')
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmo", required=True)
    parser.add_argument("--runner", action="append", default=[])
    args = parser.parse_args()
    args.velmo = os.path.abspath(args.velmo)
    with tempfile.TemporaryDirectory() as folder:
        source = pathlib.Path(folder, "ciphers.qvs")
        source.write_text(script())
        # md5File and encFile over a file of bytes of every value.
        blob = bytes(range(256)) * 40 + b"tail"
        pathlib.Path(folder, "blob.bin").write_bytes(blob)
        with open(source, "a") as f:
            f.write('trace(Encryption.md5File("blob.bin"));\n')
            f.write('trace(Encryption.encFile("secret", "blob.bin", "blob.enc"));\n')
        run = subprocess.run(args.runner + [args.velmo, "run", "ciphers.qvs"], cwd=folder, capture_output=True)
        actual = run.stdout.decode("latin-1").replace("\r\n", "\n").splitlines()
        want = expected_lines() + [md5(blob).hex(), "true"]
        key = b"secret"
        bf_key = md5(fold(key)) + md5(key) + des(DERIVATION_KEY, md5(key)) + fold(key)
        want_file = blowfish(bf_key, pad(blob)) + len(blob).to_bytes(8, "little")
        got_file = pathlib.Path(folder, "blob.enc").read_bytes() if os.path.exists(
            os.path.join(folder, "blob.enc")) else b""
    failures = [f"line {i + 1}: velmo {a!r}, openssl {w!r}" for i, (a, w) in enumerate(zip(actual, want)) if a != w]
    if len(actual) != len(want):
        failures.append(f"velmo printed {len(actual)} lines, expected {len(want)}: {run.stderr.decode()}")
    if got_file != want_file:
        failures.append("encFile's output differs from the Blowfish blocks and length word openssl gives")
    for line in failures:
        print(line)
    print(f"{len(want) + 1 - len(failures)} of {len(want) + 1} results agree with openssl")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
