#!/usr/bin/env bash
# The movie control of a packed application, played through the command-line tool: the file its
# "_GetFlashPlayer" script names, the fall-back by class id, and a control that cannot be made,
# with and without the start-up script's veto. Usage: player_choice_test.sh VELMO-BINARY
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"

# play NAME INITIALIZE GETFLASHPLAYER DRIVER: packs a one-movie project with those scripts (either
# may be empty for none), plays it verbosely with the driving file text DRIVER into $work/NAME.out
# (standard error into $work/NAME.err) and leaves the exit status in $status.
play() {
    local project="$work/$1"
    mkdir -p "$project"
    printf 'FWS\001' > "$project/movie.swf"
    printf '[application]\nidentifier = "Velmo/%s\\\\V1.0"\n\n[movie]\nfile = "movie.swf"\n\n[scripts]\n' "$1" \
        > "$project/velmo.toml"
    if [ -n "$2" ]; then printf '%s' "$2" > "$project/init.qvs"; echo 'Initialize = "init.qvs"' >> "$project/velmo.toml"; fi
    if [ -n "$3" ]; then printf '%s' "$3" > "$project/get.qvs"; echo '_GetFlashPlayer = "get.qvs"' >> "$project/velmo.toml"; fi
    printf '%s\n' "$4" > "$work/$1.driver"
    "$velmo" pack "$project" -o "$work/$1.exe" > "$work/$1.pack" 2>&1 || { echo "FAILED: pack $1"; cat "$work/$1.pack"; exit 1; }
    "$velmo" play "$work/$1.exe" --verbose --movie-driver "$work/$1.driver" > "$work/$1.out" 2> "$work/$1.err"
    status=$?
}

mkdir -p "$work/players"
printf 'control' > "$work/players/mine.ocx"
play named "" "trace('choosing'); 'players/mine.ocx';" "fscommand Velmo_Eval trace('playing')"
check "the application with a named control runs" test "$status" -eq 0
check "_GetFlashPlayer runs when the window is made" grep -q '^\[trace\] choosing$' "$work/named.out"
check "the frame makes the control from the named file" \
    grep -qF "[frame] control from \"$work\\players\\mine.ocx\"" "$work/named.out"
check "the movie plays in it" grep -q '^\[trace\] playing$' "$work/named.out"

play fallback "" "'players/missing.ocx';" ""
check "a missing file falls back to the class id" \
    grep -q '^\[frame\] control by class id {D27CDB6E-AE6D-11CF-96B8-444553540000}$' "$work/fallback.out"

play noControl "trace('initializing'); 1;" "" "unavailable"
check "without a control start-up fails" test "$status" -eq 1
check "Initialize runs before the message" grep -q '^\[trace\] initializing$' "$work/noControl.out"
check "the player message is shown" grep -q 'Failed to load the Adobe Flash Player!' "$work/noControl.err"
check "no movie is loaded without a control" bash -c "! grep -q '^\[frame\] movie ' '$work/noControl.out'"

play vetoed "trace('vetoing'); false;" "" "unavailable"
check "a veto still ends start-up" test "$status" -eq 1
check "the vetoing Initialize ran" grep -q '^\[trace\] vetoing$' "$work/vetoed.out"
check "a veto keeps the player message back" bash -c "! grep -q 'Failed to load' '$work/vetoed.err' '$work/vetoed.out'"
check "no run folder is left behind" test -z "$(ls -A "$TMP")"

summary
