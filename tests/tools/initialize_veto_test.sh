#!/usr/bin/env bash
# The start-up script of a packed application, played through the command-line tool: completing
# with false ends start-up before the movie loads; true, or a value that is not a Boolean, does
# not. Usage: initialize_veto_test.sh VELMO-BINARY
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"

# play NAME SCRIPT-SOURCE: packs a one-movie project whose "Initialize" is SCRIPT-SOURCE, plays it
# verbosely into $work/NAME.out and leaves the exit status in $status.
play() {
    local project="$work/$1"
    mkdir -p "$project"
    printf 'FWS\001' > "$project/movie.swf"
    printf '%s' "$2" > "$project/init.qvs"
    printf '[application]\nidentifier = "Velmo/%s\\\\V1.0"\n\n[movie]\nfile = "movie.swf"\n\n[scripts]\nInitialize = "init.qvs"\n' \
        "$1" > "$project/velmo.toml"
    "$velmo" pack "$project" -o "$work/$1.exe" > "$work/$1.pack" 2>&1 || { echo "FAILED: pack $1"; cat "$work/$1.pack"; exit 1; }
    "$velmo" play "$work/$1.exe" --verbose > "$work/$1.out" 2>&1
    status=$?
}

play vetoed "trace('deciding'); return false;"
check "a vetoed start-up exits 1" test "$status" -eq 1
check "the vetoing script ran" grep -q '^\[trace\] deciding$' "$work/vetoed.out"
check "the veto is logged" grep -q '^\[app\] start-up stopped: the start-up script completed with false' "$work/vetoed.out"
check "a vetoed start-up never loads its movie" bash -c "! grep -q '^\[frame\] movie ' '$work/vetoed.out'"
check "a vetoed start-up leaves no run folder" test -z "$(ls -A "$TMP")"

# Without --verbose the player still shows the scripts' trace lines, and says on standard error why
# a start-up stopped.
"$velmo" play "$work/vetoed.exe" > "$work/quiet.out" 2> "$work/quiet.err"
check "a quiet vetoed start-up still exits 1" test $? -eq 1
check "the trace reaches the terminal without --verbose" grep -qx '\[trace\] deciding' "$work/quiet.out"
check "without --verbose no start-up step is printed" bash -c "! grep -q '^\[app\]' '$work/quiet.out'"
check "the reason start-up stopped is on standard error" \
    grep -qx 'velmo: start-up stopped: the start-up script completed with false' "$work/quiet.err"

play allowed "trace('deciding'); return true;"
check "an allowed start-up exits 0" test "$status" -eq 0
check "the allowing script completed with true" grep -q '^\[app\] script Initialize (.*): ran, completed with true' "$work/allowed.out"
check "an allowed start-up loads its movie" grep -q '^\[frame\] movie ".*movie.swf", playing' "$work/allowed.out"

# Only a Boolean vetoes: a string, even "false", does not; nor does a script that fails.
play text "return 'false';"
check "a text completion does not veto" grep -q '^\[frame\] movie ' "$work/text.out"
play failing "trace('before'); throw 'stopped early'; return false;"
check "a failing start-up script does not veto" grep -q '^\[frame\] movie ' "$work/failing.out"
check "the failing script's error is on the trace" grep -q '^\[trace\] .*stopped early' "$work/failing.out"

summary
