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

# A transparent window: the renderer draws the hosted control off screen on black and on white.
# Around the movie's red square and the stand-in's zones the desktop shows through.
mkdir -p "$work/clear"
cp -r "$root/examples/demo/." "$work/clear/"
python3 - "$work/clear/velmo.toml" <<'PY'
import sys
path = sys.argv[1]
text = open(path).read()
text = text.replace('identifier = "Velmo/Demo\\\\V1.0"', 'identifier = "Velmo/Clear\\\\V1.0"')
text = text.replace('[appearance]\n', '[appearance]\ncaption = "Velmo Clear"\nshape = "transparent"\n')
text = text.replace('border = ["single", "resizable"]', 'border = ["none"]')
text = text.replace('width = 640\nheight = 480\nposition = "center"', 'width = 320\nheight = 240\nposition = "top_left"')
open(path, 'w').write(text)
PY
wine "$velmo" pack "$work/clear" -o "$work/clear.exe" --runtime "$projector" > "$work/pack-clear.out" 2>&1 ||
    { echo "FAILED: pack the transparent variant"; cat "$work/pack-clear.out"; exit 1; }
wine "$probe" - @160,20 > "$work/desktop.out" 2>&1
desktop=$(tr -d '\r' < "$work/desktop.out" | sed -n 's/^pixel 160,20 //p')
printf 'paint 0 0 30 30 FF0000\nwait 2500\nfscommand quit\n' > "$work/square.txt"
(
    VELMO_STANDIN_DRIVER=$(winepath -w "$work/square.txt") VELMO_VERBOSE=1 \
        wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$work/clear.exe")" \
        > "$work/clear.out" 2>&1
    echo $? > "$work/clear.status"
) &
shown=1
for _ in $(seq 100); do
    wine "$probe" "Velmo Clear" > "$work/clear-probe.out" 2>&1 && grep -q '^state visible' <(tr -d '\r' < "$work/clear-probe.out") &&
        { shown=0; break; }
    sleep 0.2
done
check "the transparent window shows" test "$shown" = 0
sleep 0.5
screenshot player-control-transparent
# The window is 320 x 240 at the top left, all client: the opaque zone is at columns 40 to 120,
# rows 60 to 180.
wine "$probe" "Velmo Clear" @10,10 @80,120 @160,20 > "$work/clear-probe.out" 2>&1
tr -d '\r' < "$work/clear-probe.out" > "$work/clear-probe.txt"
check "the transparent window is layered" bash -c "(( 0x$(sed -n 's/^extended 0x//p' "$work/clear-probe.txt") & 0x80000 ))"
check "the movie's red square is on the screen" grep -qx 'pixel 10,10 FF0000' "$work/clear-probe.txt"
check "the stand-in's opaque zone is on the screen" grep -qx 'pixel 80,120 3080C0' "$work/clear-probe.txt"
check "the desktop ($desktop) shows through the movie's background" grep -qx "pixel 160,20 $desktop" "$work/clear-probe.txt"
status=$(wait_status clear)
check "the transparent application ends with 0 (got $status)" test "$status" = 0
check "the verbose lines tell the layered mode" grep -q '^\[frame\] transparent: layered' <(tr -d '\r' < "$work/clear.out")

[ "$failures" -eq 0 ]
