#!/usr/bin/env bash
# The Windows runtime hosting a real ActiveX control under wine: the stand-in control file is
# registered as the player, the demo is packed with the runtime and run without VELMO_MOVIE_DRIVER,
# so the runtime creates the registered control by its class id. What the control records must be
# what the in-process stand-in of `velmo play --verbose` reports for the same driving file, apart
# from the run folder's path; the control's window must be the frame's movie window, showing its
# zones on screen; closing, by the movie's "quit" or by the window's close command, must leave no
# window and no run folder. Screenshots of the hosted control go to ARTIFACTS.
# Usage: player_control_windows_test.sh VELMO.EXE VELMO-PROJECTOR.EXE WINDOW_PROBE.EXE CONTROL.DLL SOURCE-ROOT WINEPREFIX ARTIFACTS
set -u
velmo=$1
projector=$2
probe=$3
control=$4
root=$5
export WINEPREFIX=$6 WINEDEBUG=-all VELMO_NO_DIALOGS=1
artifacts=$7
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp"
wine_tmp=$(winepath -w "$work/tmp")
failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
start_app() {  # start_app DRIVER NAME: runs the demo with the registered control; status in NAME.status
    (
        VELMO_STANDIN_DRIVER=$(winepath -w "$1") VELMO_STANDIN_RECORD=$(winepath -w "$work/$2.record") \
            VELMO_VERBOSE=1 VELMO_MOVIE_DRIVER= \
            wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$work/demo.exe")" \
            > "$work/$2.out" 2>&1
        echo $? > "$work/$2.status"
    ) &
}
probe_until_shown() {  # probe_until_shown OUTPUT [POINTS...]: waits up to 20 s for the demo's window
    for _ in $(seq 100); do
        if wine "$probe" "Velmo Demo" "${@:2}" > "$1" 2>&1 && tr -d '\r' < "$1" | grep -q '^state visible'; then
            tr -d '\r' < "$1" > "$1.txt"
            return 0
        fi
        sleep 0.2
    done
    return 1
}
wait_status() {  # wait_status NAME: the run's exit status, after at most 30 s
    for _ in $(seq 150); do
        [ -s "$work/$1.status" ] && { cat "$work/$1.status"; return; }
        sleep 0.2
    done
    echo timeout
}
screenshot() {
    if command -v xwd > /dev/null && [ -x /usr/bin/convert ]; then
        xwd -root | /usr/bin/convert xwd:- "$artifacts/$1.png" 2> /dev/null
    fi
}
# Record lines with every run folder (the folder named by a GUID under the temporary folder) as RUN.
normalized() { tr -d '\r' < "$1" | sed -E 's/"[^"]*\{[0-9A-F-]{36}\}/"RUN/g'; }
no_window() { wine "$probe" "Velmo Demo" > "$work/gone.out" 2>&1; tr -d '\r' < "$work/gone.out" | grep -qx 'no window'; }

wine regsvr32 /s "$(winepath -w "$control")" > /dev/null 2>&1 || { echo "FAILED: regsvr32"; exit 1; }
wine "$velmo" pack "$root/examples/demo" -o "$work/demo.exe" --runtime "$projector" > /dev/null 2>&1 ||
    { echo "FAILED: pack"; exit 1; }

# The demo's movie with a pause before its "quit", long enough to look at the window.
sed 's/^fscommand quit$/wait 2500\nfscommand quit/' "$root/examples/demo-movie.txt" > "$work/movie.txt"
check "the driving file still ends with quit" grep -qx 'fscommand quit' "$work/movie.txt"
wine "$velmo" play "$work/demo.exe" --verbose --movie-driver "$(winepath -w "$work/movie.txt")" > "$work/play.out" 2>&1
grep '^\[movie\] ' "$work/play.out" | tr -d '\r' | sed 's/^\[movie\] //' > "$work/expected.record"
check "velmo play's stand-in reports the demo's events" grep -q '^raise FSCommand("quit", "")$' "$work/expected.record"

start_app "$work/movie.txt" quit
check "the demo's window shows" probe_until_shown "$work/probe.out"
origin=$(sed -n 's/^origin //p' "$work/probe.out.txt")
client=$(sed -n 's/^client //p' "$work/probe.out.txt")
ox=${origin%,*} oy=${origin#*,} cw=${client%x*} ch=${client#*x}
# The stand-in's opaque zone lies in the second eighth to the third of the width, the middle half of
# the height; the demo paints its background 0x1F3A5F.
wine "$probe" - "@$((ox + cw / 4)),$((oy + ch / 2))" "@$((ox + 4)),$((oy + 4))" > "$work/pixels.out" 2>&1
screenshot player-control-window
check "the control's own window is the movie window, filling the client area" \
    grep -qx "movie VelmoStandinControl $client" "$work/probe.out.txt"
check "the control paints its opaque zone on screen" grep -q "^pixel .* 3080C0" <(tr -d '\r' < "$work/pixels.out")
check "and the demo's background around it" grep -q "^pixel .* 1F3A5F" <(tr -d '\r' < "$work/pixels.out")
status=$(wait_status quit)
check "the movie's quit ends the runtime with 0 (got $status)" test "$status" = 0
check "the control recorded what velmo play's stand-in reports" \
    diff <(normalized "$work/quit.record") <(normalized "$work/expected.record")
check "the runtime held no in-process stand-in: no [movie] lines" bash -c "! grep -q '^\[movie\]' '$work/quit.out'"
check "no window is left" no_window
check "the run folder is removed" test -z "$(ls -A "$work/tmp")"

# Closed by the user while the movie still has something to say.
printf 'fscommand Velmo_Eval trace("up");\nwait 60000\nfscommand never\n' > "$work/long.txt"
start_app "$work/long.txt" closed
check "the window shows again" probe_until_shown "$work/probe2.out"
sleep 0.5
wine "$probe" "Velmo Demo" '!0xF060' > /dev/null 2>&1  # the system menu's Close
status=$(wait_status closed)
check "closing the window ends the runtime with 0 (got $status)" test "$status" = 0
check "the event before the close was delivered" grep -q '^raise FSCommand("Velmo_Eval"' "$work/closed.record"
check "nothing was raised after it" bash -c "! grep -q 'never' '$work/closed.record'"
check "no window is left after the close" no_window
check "the run folder is removed after the close" test -z "$(ls -A "$work/tmp")"

[ "$failures" -eq 0 ]
