#!/usr/bin/env bash
# End-to-end start-up and shutdown through the command-line tool: pack a project, play it, and
# check what a user would see. Usage: play_test.sh VELMO-BINARY SOURCE-ROOT
set -u
velmo=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMP="$work/tmp" XDG_CONFIG_HOME="$work/config"
mkdir -p "$TMP"
failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

# A normal run: the run folder exists while running and is gone afterwards.
"$velmo" pack "$root/examples/demo" -o "$work/demo.exe" > /dev/null || { echo "FAILED: pack"; exit 1; }
"$velmo" play "$work/demo.exe" --verbose > "$work/run.out" 2>&1
check "a normal run exits 0" test $? -eq 0
run_folder=$(sed -n 's/^\[app\] run folder \(.*\)$/\1/p' "$work/run.out" | tr '\\' '/')
check "the run folder was under TMP" grep -q "^$TMP/{" <<< "$run_folder"
check "the movie was extracted into the run folder" grep -q '^\[frame\] movie ".*_extra.movie.swf", playing' "$work/run.out"
check "the run folder is gone after exit" test ! -e "$run_folder"
check "the profile holds the stored options" grep -q '^Options=hex:' "$XDG_CONFIG_HOME"/velmo/*.profile

# A tampered identifier stops start-up with the fixed message, and leaves no run folder.
python3 - "$work/demo.exe" "$work/tampered.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.find('Velmo/Demo'.encode('utf-16-le'))
data[at] ^= 0x20
open(sys.argv[2], 'wb').write(data)
PY
"$velmo" play "$work/tampered.exe" > "$work/tampered.out" 2>&1
check "a tampered identifier exits 1" test $? -eq 1
check "a tampered identifier says so" grep -q 'Invalid application data' "$work/tampered.out"
check "no run folder is left behind" test -z "$(ls -A "$TMP")"

# An installer hook, in mixed case, runs its script and shows no window.
mkdir -p "$work/hooked"
cp -r "$root/examples/demo/." "$work/hooked/"
printf 'return true;' > "$work/hooked/after.qvs"
sed -i 's/^\[scripts\]$/[scripts]\nAfterInstall = "after.qvs"/' "$work/hooked/velmo.toml"
"$velmo" pack "$work/hooked" -o "$work/hooked.exe" > /dev/null || { echo "FAILED: pack with a hook"; exit 1; }
"$velmo" play "$work/hooked.exe" --verbose -- /aFtErInStAlL > "$work/hook.out" 2>&1
check "an installer hook exits 0" test $? -eq 0
check "the hook script was loaded" grep -q '^\[app\] script AfterInstall (72 bytes)' "$work/hook.out"
check "the hook showed no window" bash -c "! grep -q '^\[frame\]' '$work/hook.out'"

# A movie packed enciphered: the package holds no plain movie, yet the window takes the movie's size
# from its header, because every reader of the movie file sees it deciphered.
mkdir -p "$work/secret"
cp -r "$root/examples/demo/." "$work/secret/"
sed -i 's/^file = "movie.swf"$/file = "movie.swf"\nkey = "open sesame"/; s/^size = "custom"$/size = "movie"/' "$work/secret/velmo.toml"
"$velmo" pack "$work/secret" -o "$work/secret.exe" > /dev/null || { echo "FAILED: pack with a movie key"; exit 1; }
sed -i '/^key = /d' "$work/secret/velmo.toml"
"$velmo" pack "$work/secret" -o "$work/plain.exe" > /dev/null || { echo "FAILED: pack without a key"; exit 1; }
"$velmo" play "$work/secret.exe" --verbose > "$work/secret.out" 2>&1
check "an enciphered movie plays" test $? -eq 0
check "the frame reads the enciphered movie" grep -q '^\[frame\] movie enciphered: its readers see it deciphered' "$work/secret.out"
"$velmo" play "$work/plain.exe" --verbose > "$work/plain.out" 2>&1
plain_size=$(grep -o ', movie [0-9]*x[0-9]*$' "$work/plain.out")
check "the plain movie gives the window a size" test -n "$plain_size"
check "the enciphered movie gives the same size" grep -q "^\[frame\] size: .*$plain_size\$" "$work/secret.out"

echo "$(( 15 - failures )) passed, $failures failed"
[ "$failures" -eq 0 ]
