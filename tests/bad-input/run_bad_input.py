#!/usr/bin/env python3
"""Runs the bad-input corpus: damaged applications, packages, resource blobs, compiled modules,
scripts and movie requests, each fed to the velmo tool and each with the failure it must get.

Every case runs in a folder of its own with TMP, TEMP and XDG_CONFIG_HOME pointing inside it, and
every velmo command of a case is checked for more than the case states:
  - it ends within the time limit, and not by a signal or an unhandled exception;
  - standard error holds no sanitizer report (a build with ASan/UBSan also fails such a run, and
    LeakSanitizer reports leaks at exit, so running the corpus in that build covers leaks);
  - afterwards the temporary folder is empty (the run folder is gone) and the case folder holds
    exactly what it held before, apart from the files the command was asked to write; the
    profile folder holds nothing but profiles; and no file named by a planted path exists.

The cases live in *_cases.py beside this file; scripts/*.qvs are cases too, with the inline
expectations of tools/run_script_tests.py. A case known to fail because of a fault in the product
is marked with known_fault="..." and reported as XFAIL; it does not fail the run, but once it passes
(XPASS) it does, so that the mark goes when the fault is fixed.

Usage: run_bad_input.py --velmo VELMO [--runner=WORD ...] [--keep] [--list] [NAME-PART ...]
Exit status 0 when every case passed, failed as a known fault or was skipped; 1 otherwise.
"""
import argparse
import hashlib
import importlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
sys.dont_write_bytecode = True  # the case modules imported below leave nothing in the source tree
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(ROOT / "tools"))

# The registry key of project/'s identifier, "Velmo/BadInput\\V1.0".
PROFILE_KEY = "HKCU\\Software\\Velmo\\BadInput"
CASE_MODULES = ["package_cases", "module_cases", "script_cases", "movie_cases"]
SANITIZER = re.compile(r"(AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|:\d+:\d+: runtime error:)")
EMULATED_WORD = re.compile(r"^[A-Za-z0-9_:\\/.\-]+$")
# Under wine a crash shows on standard error: an unhandled fault as such; a stack overflow only with
# this debug channel on (the process then just ends with status 1).
WINE_CRASH = re.compile(r"(Unhandled (page fault|exception)|^[0-9a-f]+:err:virtual:.*stack overflow)", re.M)
WINE_DEBUG = "WINEDEBUG=-all,err+virtual"


class CaseFailed(Exception):
    pass


class CaseSkipped(Exception):
    pass


class Case:
    def __init__(self, group, name, title, body, known_fault=None, native_only=None):
        self.name = f"{group}/{name}"
        self.title, self.body = title, body
        self.known_fault, self.native_only = known_fault, native_only


CASES = []


def case(group, title, known_fault=None, native_only=None):
    """Registers the decorated function as the case GROUP/FUNCTION-NAME. `known_fault` names a
    product fault the case shows (it then counts as an expected failure); `native_only` gives the
    reason a case does not run under an emulator."""
    def register(body):
        CASES.append(Case(group, body.__name__, title, body, known_fault, native_only))
        return body
    return register


def snapshot(folder, skip=()):
    """Relative path -> content digest (None for folders) of everything below `folder`."""
    found = {}
    if not folder.exists():
        return found
    for path in sorted(folder.rglob("*")):
        relative = path.relative_to(folder)
        if relative.parts and relative.parts[0] in skip:
            continue
        found[str(relative)] = None if path.is_dir() else hashlib.sha1(path.read_bytes()).hexdigest()
    return found


class Result:
    def __init__(self, command, status, out, err, context):
        self.command, self.status, self.out, self.err = command, status, out, err
        self._context = context

    def _fail(self, message):
        self._context.fail(f"{message}\n      command: {' '.join(self.command)}\n      status {self.status}"
                           f"\n      stdout: {self.out[-1500:]!r}\n      stderr: {self.err[-1500:]!r}")

    def status_is(self, *allowed):
        if self.status not in allowed:
            self._fail(f"exit status {self.status}, expected {' or '.join(map(str, allowed))}")
        return self

    # Fails for each text whose presence in `stream` differs from `wanted`.
    def _expect(self, label, stream, texts, wanted):
        for text in texts:
            if (text in stream) != wanted:
                self._fail(f"{label} {'lacks' if wanted else 'holds'} {text!r}")
        return self

    def out_has(self, *texts):
        return self._expect("standard output", self.out, texts, True)

    def out_lacks(self, *texts):
        return self._expect("standard output", self.out, texts, False)

    def err_has(self, *texts):
        return self._expect("standard error", self.err, texts, True)

    def err_lacks(self, *texts):
        return self._expect("standard error", self.err, texts, False)

    def out_is(self, text):
        if self.out.replace("\r\n", "\n") != text:
            self._fail(f"standard output is not {text!r}")
        return self

    def err_is(self, text):
        if self.err.replace("\r\n", "\n") != text:
            self._fail(f"standard error is not {text!r}")
        return self

    def replies(self):
        """The reply documents the stand-in movie recorded, in order (`velmo play --verbose`)."""
        return re.findall(r'^\[movie\] (SetReturnValue\("(.*)"\)|FlashCall answered nothing)\r?$', self.out, re.M)

    def reply_texts(self):
        return [text if whole.startswith("SetReturnValue") else None for whole, text in self.replies()]


class Context:
    """One case's folder and the velmo commands it runs."""

    def __init__(self, session, case_):
        self.session, self.case = session, case_
        self.folder = session.work / case_.name.replace("/", "-")
        self.tmp = self.folder / "tmp"
        self.config = self.folder / "config"
        for folder in (self.folder, self.tmp, self.config):
            folder.mkdir(parents=True, exist_ok=True)
        self.failures = []

    @property
    def emulated(self):
        return bool(self.session.runner)

    def sized(self, count):
        """`count` for data a script builds at run time; a thousandth of it (at least 200) when the
        collector runs at every safe point (VELMO_GC_STRESS=1), where each loop step marks the
        whole heap. Source text and request documents keep their size: they never collect."""
        return max(200, count // 1000) if self.session.stressed else count

    def fail(self, message):
        self.failures.append(message)

    def skip(self, reason):
        raise CaseSkipped(reason)

    def check(self, condition, message):
        if not condition:
            self.fail(message)

    def path(self, name):
        return self.folder / name

    def write(self, name, data):
        path = self.path(name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))
        return path

    def arg(self, path):
        """A path as the program under test sees it: under wine, the Z: drive form."""
        text = str(path)
        return "Z:" + text.replace("/", "\\") if self.emulated and text.startswith("/") else text

    def base_app(self):
        """The bytes of the application packed from tests/bad-input/project."""
        return self.session.base_app(self)

    def velmo(self, *args, outputs=(), timeout=None):
        """Runs velmo with `args` (paths are converted with arg()) and checks what every run must
        keep; `outputs` are the case files the command may write."""
        words = [self.arg(a) if isinstance(a, pathlib.Path) else a for a in args]
        if self.emulated:
            command = self._emulated_command(words)
        else:
            command = [self.session.velmo] + words
        before = snapshot(self.folder, skip=("tmp", "config"))
        environment = dict(os.environ, TMP=str(self.tmp), TEMP=str(self.tmp), XDG_CONFIG_HOME=str(self.config),
                           VELMO_NO_DIALOGS="1")
        environment.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        if self.emulated:
            environment["WINEDEBUG"] = WINE_DEBUG.split("=", 1)[1]
        limit = (timeout or self.session.timeout) * self.session.slowdown
        try:
            done = subprocess.run(command, capture_output=True, timeout=limit, env=environment, cwd=self.folder,
                                  stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired as expired:
            self.fail(f"no end within {limit} s (a hang): {' '.join(command)}")
            out = (expired.stdout or b"").decode("latin-1")
            return Result(command, None, out, (expired.stderr or b"").decode("latin-1"), self)
        result = Result(command, done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1"), self)
        if done.returncode < 0:
            result._fail(f"ended by signal {-done.returncode}")
        if SANITIZER.search(result.err):
            result._fail("a sanitizer reported a problem")
        if self.emulated and WINE_CRASH.search(result.err):
            result._fail("the program crashed under the emulator")
        self._check_files(before, outputs)
        return result

    def _emulated_command(self, words):
        """Wine gives a program TMP and TEMP from its prefix's registry, whatever the environment
        says; a program started by cmd inherits the variables cmd sets. The words pass through cmd's
        parsing, so they are kept to characters it leaves alone."""
        for word in words + [self.session.velmo]:
            if not EMULATED_WORD.match(word):
                raise CaseFailed(f"{word!r} cannot be passed through cmd under the emulator")
        folder = self.arg(self.tmp)
        line = f"set TMP={folder}&& set TEMP={folder}&& " + " ".join([self.arg(self.session.velmo)] + words)
        runner = [WINE_DEBUG if word.startswith("WINEDEBUG=") else word for word in self.session.runner]
        return runner + ["cmd", "/c", line]

    def _check_files(self, before, outputs):
        left = list(self.tmp.rglob("*"))
        if left:
            self.fail("left in the temporary folder: " + ", ".join(str(p.relative_to(self.tmp)) for p in left[:10]))
            shutil.rmtree(self.tmp)
            self.tmp.mkdir()
        after = snapshot(self.folder, skip=("tmp", "config"))
        allowed = {str(pathlib.Path(o).relative_to(self.folder)) if pathlib.Path(o).is_absolute() else str(o)
                   for o in outputs}
        changed = sorted(name for name in set(before) | set(after)
                         if before.get(name, "gone") != after.get(name, "gone") and name not in allowed)
        if changed:
            self.fail("the case folder changed: " + ", ".join(changed[:10]))
        for path in self.config.rglob("*"):
            relative = path.relative_to(self.config)
            if not (relative == pathlib.Path("velmo") or (relative.parent == pathlib.Path("velmo")
                                                          and path.suffix == ".profile")):
                self.fail(f"written into the profile folder: {relative}")
        for planted in self.session.planted:
            if os.path.lexists(planted):
                self.fail(f"a planted path was written: {planted}")
                shutil.rmtree(planted, ignore_errors=True) if os.path.isdir(planted) else os.unlink(planted)


class Session:
    def __init__(self, args):
        self.velmo = args.velmo
        self.runner = args.runner
        self.timeout = args.timeout
        self.slowdown = 3 if args.runner else 1  # an emulator starts every program more slowly
        self.stressed = os.environ.get("VELMO_GC_STRESS") == "1"
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="velmo-bad-input-"))
        if re.search(r"\s", str(self.work)):
            sys.exit(f"run_bad_input: the work folder {self.work} has a blank in its path")
        # Paths a damaged package tries to reach; none may ever exist.
        self.token = f"velmo-planted-{os.getpid()}"
        self.planted = [str(self.work.parent / self.token), str(self.work / self.token),
                        str(pathlib.Path("/tmp") / self.token)]
        self._base_app = None
        self._base_app_error = None

    def forget_profile(self):
        """Under wine the played application keeps its options in the prefix's registry, not in
        the case folder: the key goes before and after the run."""
        if self.runner:
            subprocess.run(self.runner + ["reg", "delete", PROFILE_KEY, "/f"], capture_output=True)

    def base_app(self, context):
        """Packed once, by the first case that asks; if that fails, every case asking fails."""
        if self._base_app_error:
            raise CaseFailed(self._base_app_error)
        if self._base_app is None:
            project = self.work / "base-project"
            shutil.copytree(HERE / "project", project)
            app = self.work / "base.exe"
            # Packed through the context, so a crash of pack itself is caught like any other.
            context.velmo("pack", project, "-o", app)
            if not app.exists():
                self._base_app_error = "velmo pack did not write the base application"
                raise CaseFailed(self._base_app_error)
            self._base_app = app.read_bytes()
        return self._base_app


def load_cases():
    for name in CASE_MODULES:
        importlib.import_module(name)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--velmo", required=True, help="the velmo command-line tool")
    parser.add_argument("--runner", action="append", default=[],
                        help="one word of a command prefix, such as wine (repeat for several words)")
    parser.add_argument("--timeout", type=float, default=20, help="seconds allowed per command (default 20)")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--list", action="store_true", help="list the cases and stop")
    parser.add_argument("only", nargs="*", help="run only cases whose name contains one of these")
    args = parser.parse_args()
    args.velmo = str(pathlib.Path(args.velmo).resolve())
    if not os.path.isfile(args.velmo):
        sys.exit(f"run_bad_input: no such program: {args.velmo}")
    sys.modules.setdefault("run_bad_input", sys.modules[__name__])
    load_cases()
    selected = [c for c in CASES if not args.only or any(part in c.name for part in args.only)]
    if args.list:
        for c in selected:
            print(f"{c.name}: {c.title}")
        return 0
    if not selected:
        sys.exit("run_bad_input: no case matches")

    session = Session(args)
    session.forget_profile()
    counts = {"ok": 0, "FAIL": 0, "XFAIL": 0, "XPASS": 0, "skip": 0}
    started = time.monotonic()
    try:
        for c in selected:
            if c.native_only and session.runner:
                print(f"skip {c.name}: {c.native_only}")
                counts["skip"] += 1
                continue
            context = Context(session, c)
            case_started = time.monotonic()
            try:
                c.body(context)
            except CaseSkipped as skipped:
                print(f"skip {c.name}: {skipped}")
                counts["skip"] += 1
                continue
            except CaseFailed as error:
                context.fail(str(error))
            except Exception:
                context.fail("the case raised:\n" + traceback.format_exc())
            if c.known_fault:
                verdict = "XFAIL" if context.failures else "XPASS"
            else:
                verdict = "FAIL" if context.failures else "ok"
            counts[verdict] += 1
            note = f" (known fault: {c.known_fault})" if c.known_fault else ""
            print(f"{verdict} {c.name}: {c.title}{note} [{time.monotonic() - case_started:.1f} s]")
            if context.failures and verdict != "XFAIL" or verdict == "XPASS" or (verdict == "XFAIL" and args.keep):
                for message in context.failures:
                    print("    " + message.replace("\n", "\n    "))
            if verdict == "XPASS":
                print("    the case passed: the fault looks fixed; remove known_fault")
    finally:
        session.forget_profile()
        if args.keep:
            print(f"work folder kept: {session.work}")
        else:
            shutil.rmtree(session.work, ignore_errors=True)
    print(", ".join(f"{n} {k}" for k, n in counts.items() if n) +
          f" in {time.monotonic() - started:.1f} s")
    return 1 if counts["FAIL"] or counts["XPASS"] else 0


if __name__ == "__main__":
    sys.exit(main())
