#!/usr/bin/env bash
# A stop request from outside (Ctrl-C, hang-up, termination) while a packed application's script is
# busy: `velmo play` breaks the script off, closes the window and runs the normal shutdown, so the
# run folder with the extracted movie goes; the status is 128 + the signal.
# Usage: interrupt_test.sh VELMO-BINARY
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"

project="$work/busy"
mkdir -p "$project"
printf 'FWS\001' > "$project/movie.swf"
printf 'true;' > "$project/init.qvs"
printf '[application]\nidentifier = "Velmo/Busy\\\\V1.0"\n\n[movie]\nfile = "movie.swf"\n\n[scripts]\nInitialize = "init.qvs"\n' \
    > "$project/velmo.toml"
"$velmo" pack "$project" -o "$work/busy.exe" > "$work/pack.out" 2>&1 || { echo "FAILED: pack"; cat "$work/pack.out"; exit 1; }
# The movie, once loaded, hands the scripts work that never ends; the second driver's script
# swallows every error, the break's too.
printf 'fscommand Velmo_Eval while\\s(true)\\s{}\n' > "$work/loop.txt"
printf 'fscommand Velmo_Eval while\\s(true)\\s{\\stry\\s{\\swhile\\s(true)\\s{}\\s}\\scatch\\s(e)\\s{}\\s}\n' > "$work/stubborn.txt"

# interrupt NAME DRIVER SIGNAL [SIGNAL...]: plays the application with DRIVER, waits until its
# movie was extracted (the script runs by then), sends the signals half a second apart and leaves
# the exit status in $status and the output in $work/NAME.out.
interrupt() {
    local name=$1 driver=$2
    shift 2
    "$velmo" play "$work/busy.exe" --verbose --movie-driver "$driver" > "$work/$name.out" 2>&1 &
    local pid=$! tries=0
    until compgen -G "$TMP/{*}/_extra/movie.swf" > /dev/null; do
        sleep 0.05
        tries=$((tries + 1))
        [ $tries -lt 200 ] || { echo "FAILED: $name: the movie was never extracted"; kill -9 $pid; status=-1; return; }
    done
    sleep 0.2
    for signal in "$@"; do
        kill -s "$signal" $pid
        sleep 0.5
    done
    for tries in $(seq 100); do
        kill -0 $pid 2> /dev/null || break
        sleep 0.1
    done
    kill -9 $pid 2> /dev/null  # still running after ten seconds: it did not stop
    wait $pid
    status=$?
}

for case in "INT 130" "TERM 143" "HUP 129"; do
    set -- $case
    interrupt "$1" "$work/loop.txt" "$1"
    check "SIG$1 ends the run with status $2" test "$status" -eq "$2"
    check "SIG$1 breaks the script off" grep -q "^\[trace\] Runtime error: hook break $(( $2 - 128 ))" "$work/$1.out"
    check "SIG$1 runs the normal shutdown" grep -q '^\[app\] run folder removed' "$work/$1.out"
    check "SIG$1 leaves no run folder behind" test -z "$(ls -A "$TMP")"
done

# The request stays raised: a script that catches the break meets it again at its next loop.
interrupt stubborn "$work/stubborn.txt" INT
check "a script that catches the break still stops" test "$status" -eq 130
check "a script that catches the break leaves no run folder behind" test -z "$(ls -A "$TMP")"

summary
