#!/usr/bin/env bash
# End-to-end start-up and shutdown of a packed application under wine: the Windows counterpart of
# play_test.sh, with the real run folder, registry and exit status instead of the player's log.
# Usage: play_windows_test.sh VELMO.EXE VELMO-PROJECTOR.EXE SOURCE-ROOT WINEPREFIX
set -u
velmo=$1
projector=$2
root=$3
export WINEPREFIX=$4 WINEDEBUG=-all VELMO_NO_DIALOGS=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$work" in *[[:space:]]*) echo "FAILED: the temporary folder $work has a space in its path"; exit 1 ;; esac
mkdir -p "$work/tmp"
# The application's temporary folder, where its run folder must be made. Wine gives a program it
# starts TMP and TEMP from the prefix's registry, whatever the caller's environment says; a program
# started by a Windows process inherits that process's variables, so cmd sets them and starts it.
wine_tmp=$(winepath -w "$work/tmp")
# The runtime's window stays up until the movie says "quit"; the stand-in movie of every run here
# says it at once (runs driven otherwise name their own file).
printf 'fscommand quit\n' > "$work/quit.txt"
export VELMO_MOVIE_DRIVER
VELMO_MOVIE_DRIVER=$(winepath -w "$work/quit.txt")
passes=0 failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; passes=$((passes + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
run_app() {  # run_app TMP APP.exe OUTPUT [ARGUMENTS...]: the application's exit status
    # /b keeps standard error on this console, /wait returns the program's exit status. Wine's start
    # loses standard error when given a quoted title, so the path goes unquoted (see the check above).
    wine cmd /c "set TMP=$1&& set TEMP=$1&& start /b /wait $(winepath -w "$2") ${*:4}" > "$3" 2>&1
}
settings='HKCU\Software\Velmo\Demo\V1.0\Settings'
forget_profiles() {  # the two keys this test's applications own, so each run starts without them
    wine reg delete 'HKCU\Software\Velmo\Demo' /f > /dev/null 2>&1
    wine reg delete 'HKCU\Software\Velmo\Hooked' /f > /dev/null 2>&1
}
forget_profiles

# A normal run: the profile values are written, and the run folder is gone afterwards.
wine "$velmo" pack "$root/examples/demo" -o "$work/demo.exe" --runtime "$projector" > /dev/null ||
    { echo "FAILED: pack"; exit 1; }
run_app "$wine_tmp" "$work/demo.exe" "$work/run.out"
check "a normal run exits 0" test $? -eq 0
check "a normal run reports nothing" test ! -s "$work/run.out"
wine reg query "$settings" > "$work/reg.out" 2>&1
check "the profile holds the options checksum" grep -q '^ *crc *REG_BINARY' "$work/reg.out"
check "the profile holds the stored options" grep -q '^ *Options *REG_BINARY' "$work/reg.out"
check "no run folder is left behind" test -z "$(ls -A "$work/tmp")"
# Where the run folder goes: with TMP naming a folder that does not exist, start-up cannot make it.
run_app "$wine_tmp\\missing" "$work/demo.exe" "$work/missing.out"
check "a run folder that cannot be made under TMP stops start-up" test $? -eq 1

# A tampered identifier stops start-up with the fixed message, and leaves no run folder.
python3 - "$work/demo.exe" "$work/tampered.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.find('Velmo/Demo'.encode('utf-16-le'))
data[at] ^= 0x20
open(sys.argv[2], 'wb').write(data)
PY
run_app "$wine_tmp" "$work/tampered.exe" "$work/tampered.out"
check "a tampered identifier exits 1" test $? -eq 1
check "a tampered identifier says so" grep -q 'Invalid application data' "$work/tampered.out"
check "no run folder is left behind" test -z "$(ls -A "$work/tmp")"

# An installer hook, in mixed case, runs without a window: start-up never reaches the profile.
mkdir -p "$work/hooked"
cp -r "$root/examples/demo/." "$work/hooked/"
printf 'return true;' > "$work/hooked/after.qvs"
sed -i 's|^identifier = .*$|identifier = "Velmo/Hooked\\\\V1.0"|' "$work/hooked/velmo.toml"
sed -i 's/^\[scripts\]$/[scripts]\nAfterInstall = "after.qvs"/' "$work/hooked/velmo.toml"
wine "$velmo" pack "$work/hooked" -o "$work/hooked.exe" --runtime "$projector" > /dev/null ||
    { echo "FAILED: pack with a hook"; exit 1; }
run_app "$wine_tmp" "$work/hooked.exe" "$work/hook.out" /aFtErInStAlL
check "an installer hook exits 0" test $? -eq 0
check "an installer hook reports nothing" test ! -s "$work/hook.out"
check "an installer hook makes no run folder" test -z "$(ls -A "$work/tmp")"
check "an installer hook writes no profile" bash -c "! wine reg query 'HKCU\\Software\\Velmo\\Hooked' > /dev/null 2>&1"
# The same application without the switch runs normally, so the key above was a fair test.
run_app "$wine_tmp" "$work/hooked.exe" "$work/hooked-run.out"
check "the hooked application runs without the switch" bash -c "wine reg query 'HKCU\\Software\\Velmo\\Hooked\\V1.0\\Settings' > /dev/null 2>&1"

# The start-up script decides: false stops start-up before the movie loads (exit 1, nothing left
# behind); true lets it run. Each answer is computed, so only a script that ran can give it.
mkdir -p "$work/vetoed"
cp -r "$root/examples/demo/." "$work/vetoed/"
sed -i 's|^identifier = .*$|identifier = "Velmo/Hooked\\\\V1.0"|' "$work/vetoed/velmo.toml"
printf 'return 1 > 2;' > "$work/vetoed/scripts/initialize.qvs"
wine "$velmo" pack "$work/vetoed" -o "$work/vetoed.exe" --runtime "$projector" > /dev/null ||
    { echo "FAILED: pack with a deciding start-up script"; exit 1; }
run_app "$wine_tmp" "$work/vetoed.exe" "$work/vetoed.out"
check "a start-up script completing with false exits 1" test $? -eq 1
check "a vetoed start-up leaves no run folder" test -z "$(ls -A "$work/tmp")"
printf 'return 2 > 1;' > "$work/vetoed/scripts/initialize.qvs"
wine "$velmo" pack "$work/vetoed" -o "$work/allowed.exe" --runtime "$projector" > /dev/null ||
    { echo "FAILED: pack with an allowing start-up script"; exit 1; }
run_app "$wine_tmp" "$work/allowed.exe" "$work/allowed.out"
check "a start-up script completing with true exits 0" test $? -eq 0

# The stand-in movie through velmo.exe: an fscommand and an external call reach the scripts.
printf '%s\n' "fscommand Velmo_Eval trace('from the movie ' + 6 * 7);" \
    'flashcall <invoke name="velmo_eval" returntype="xml"><arguments><string>1 + 2</string></arguments></invoke>' \
    'fscommand quit' > "$work/movie.txt"
wine "$velmo" play "$(winepath -w "$work/allowed.exe")" --verbose --movie-driver "$(winepath -w "$work/movie.txt")" \
    > "$work/driven.out" 2>&1
check "a driven play exits 0" test $? -eq 0
check "the movie's fscommand ran its script" grep -q '^\[trace\] from the movie 42' "$work/driven.out"
check "the movie's external call got its reply" grep -qF '[movie] SetReturnValue("<number>3</number>")' "$work/driven.out"

# The Application object in the real runtime: the start-up script's onGetMovie picks another packed
# movie, and an interval ticks on the system's timers in the window's message loop until the movie
# quits.
mkdir -p "$work/ticking"
cp -r "$root/examples/demo/." "$work/ticking/"
sed -i 's|^identifier = .*$|identifier = "Velmo/Hooked\\\\V1.0"|' "$work/ticking/velmo.toml"
cp "$work/ticking/movie.swf" "$work/ticking/other.swf"
cat > "$work/ticking/scripts/initialize.qvs" <<'QVS'
function Choose(o) { o.value = getAdditionalFile("other.swf"); return true; }
function Tick() { trace("tick " + (++ticks)); }
Application.onGetMovie = Choose;
ticks = 0;
Application.setInterval(Tick, 40);
true;
QVS
wine "$velmo" pack "$work/ticking" -o "$work/ticking.exe" --runtime "$projector" > /dev/null ||
    { echo "FAILED: pack with an interval"; exit 1; }
printf 'wait 600\nfscommand quit\n' > "$work/later.txt"
VELMO_MOVIE_DRIVER=$(winepath -w "$work/later.txt") VELMO_VERBOSE=1 \
    run_app "$wine_tmp" "$work/ticking.exe" "$work/ticking.out"
check "a ticking application exits 0 when its movie quits" test $? -eq 0
check "the interval ticked on the system's timer" grep -q '^\[trace\] tick 3' "$work/ticking.out"
check "the start-up script chose the movie" grep -q '^\[app\] movie chosen by the scripts: .*other\.swf' "$work/ticking.out"
check "a ticking application leaves no run folder" test -z "$(ls -A "$work/tmp")"

forget_profiles
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
