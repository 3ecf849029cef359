#!/usr/bin/env python3
"""Runs the examples of the user's reference (docs/*.md) and compares what they print.

Fenced blocks, by their info string:
    ```js                 a script example: run with `velmo run --trace - FILE`; the next fenced
                          block must be ```output and holds what it prints
    ```output             standard output and standard error together, in order
    ```LANG file=PATH     not run: written to PATH in the document's scratch folder (a project file,
                          a movie driver), replacing an earlier file of that path
    ```console            `$ COMMAND` lines, each followed by what it prints; run one by one with
                          bash in the scratch folder, with the velmo tool first on PATH
Any other block is prose. An output that ends with `[exit status N]` expects that status; without
it the status must be 0. In expected lines `...` stands for any text (a size, a temporary path).
Line endings and trailing blanks are not compared.

Every failing example is reported with its document line and a diff; the exit status is 1 when
any failed, or when a document holds no example at all (a renamed fence would otherwise pass).
"""
import argparse
import difflib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(.*)$")
STATUS = re.compile(r"^\[exit status (\d+)\]$")


class Block:
    def __init__(self, info, lines, line):
        words = info.split()
        self.lang = words[0] if words else ""
        self.attrs = dict(w.split("=", 1) for w in words[1:] if "=" in w)
        self.lines = lines
        self.line = line  # 1-based line of the opening fence


def read_blocks(path):
    blocks, current = [], None
    for number, text in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        match = FENCE.match(text)
        if current is None:
            if match:
                current = Block(match.group(1), [], number)
        elif match and not match.group(1).strip():
            blocks.append(current)
            current = None
        else:
            current.lines.append(text)
    if current is not None:
        raise ValueError(f"{path}:{current.line}: fence never closed")
    return blocks


def normal_lines(text):
    lines = [line.rstrip() for line in text.replace("\r\n", "\n").split("\n")]
    while lines and not lines[-1]:
        lines.pop()
    return lines


def matches(expected, actual):
    if len(expected) != len(actual):
        return False
    for want, got in zip(expected, actual):
        pattern = ".*".join(re.escape(part) for part in want.split("..."))
        if not re.fullmatch(pattern, got):
            return False
    return True


def run(command, cwd, env, stdin=None):
    done = subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=60, input=stdin)
    lines = normal_lines(done.stdout.decode("utf-8", "replace"))
    if done.returncode != 0:
        lines.append(f"[exit status {done.returncode}]")
    return lines


class Document:
    def __init__(self, path, velmo, scratch):
        self.path, self.velmo, self.scratch = path, velmo, scratch
        self.env = dict(os.environ)
        self.env["PATH"] = str(pathlib.Path(velmo).resolve().parent) + os.pathsep + self.env.get("PATH", "")
        self.env["TMP"] = str(scratch / ".tmp")
        self.env["XDG_CONFIG_HOME"] = str(scratch / ".config")
        # The pages show resource-only builds, whatever runtime this machine has beside the tool.
        self.env["VELMO_RUNTIME"] = "none"
        (scratch / ".tmp").mkdir()
        self.failures, self.examples = [], 0

    def check(self, block, expected, actual, title):
        self.examples += 1
        if matches(expected, actual):
            return
        diff = difflib.unified_diff(expected, actual, "documented", "actual", lineterm="", n=2)
        self.failures.append(f"{self.path}:{block.line}: {title}\n" + "\n".join("    " + d for d in diff))

    def write_file(self, block):
        target = self.scratch / block.attrs["file"]
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_text("\n".join(block.lines) + "\n", encoding="utf-8")

    def run_script(self, block, output):
        # Run by its name from its folder, so that located messages read "example.qvs:LINE".
        source = self.scratch / "example.qvs"
        source.write_text("\n".join(block.lines) + "\n", encoding="utf-8")
        actual = run([self.velmo, "run", "--trace", "-", source.name], self.scratch, self.env)
        self.check(block, normal_lines("\n".join(output.lines)), actual, "script example")

    def run_console(self, block):
        steps = []
        for text in block.lines:
            if text.startswith("$ "):
                steps.append((text[2:], []))
            elif steps:
                steps[-1][1].append(text)
            elif text.strip():
                raise ValueError(f"{self.path}:{block.line}: console text before the first command")
        for command, expected in steps:
            actual = run(["bash", "-c", command], self.scratch, self.env)
            self.check(block, normal_lines("\n".join(expected)), actual, f"$ {command}")

    def run_all(self):
        blocks = read_blocks(self.path)
        i = 0
        while i < len(blocks):
            block = blocks[i]
            if "file" in block.attrs:
                self.write_file(block)
            elif block.lang == "js":
                if i + 1 >= len(blocks) or blocks[i + 1].lang != "output":
                    raise ValueError(f"{self.path}:{block.line}: a js example needs an output block next")
                self.run_script(block, blocks[i + 1])
                i += 1
            elif block.lang == "console":
                self.run_console(block)
            elif block.lang == "output":
                raise ValueError(f"{self.path}:{block.line}: an output block without its example")
            i += 1
        if self.examples == 0:
            self.failures.append(f"{self.path}: no examples found")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--velmo", required=True, help="the velmo tool")
    parser.add_argument("documents", nargs="+", type=pathlib.Path)
    args = parser.parse_args()
    velmo = str(pathlib.Path(args.velmo).resolve())
    failed = 0
    for path in args.documents:
        scratch = pathlib.Path(tempfile.mkdtemp(prefix="velmo-docs-"))
        try:
            document = Document(path, velmo, scratch)
            try:
                document.run_all()
            except (ValueError, subprocess.TimeoutExpired) as error:
                document.failures.append(str(error))
            for failure in document.failures:
                print("FAILED: " + failure)
            print(f"{path}: {document.examples} examples, {len(document.failures)} failed")
            failed += len(document.failures)
        finally:
            shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
