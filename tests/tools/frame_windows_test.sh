#!/usr/bin/env bash
# The runtime's real main window under wine: a packed application is started with the Windows
# runtime and read back, while it runs, by a probe in another process (platform/ui/win32/probe/window_probe.cpp)
# and by the X server; the runtime's own verbose lines must agree with what the system reports.
# Leaves a screenshot of the demo's window in ARTIFACTS for a reviewer.
# Usage: frame_windows_test.sh VELMO.EXE VELMO-PROJECTOR.EXE WINDOW_PROBE.EXE SOURCE-ROOT WINEPREFIX ARTIFACTS
set -u
velmo=$1
projector=$2
probe=$3
root=$4
export WINEPREFIX=$5 WINEDEBUG=-all VELMO_NO_DIALOGS=1
artifacts=$6
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp"
wine_tmp=$(winepath -w "$work/tmp")
passes=0 failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; passes=$((passes + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
start_app() {  # start_app APP.exe DRIVER OUTPUT: runs in the background; its status lands in OUTPUT.status
    (
        VELMO_MOVIE_DRIVER=$(winepath -w "$2") VELMO_VERBOSE=1 \
            wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$1")" > "$3" 2>&1
        echo $? > "$3.status"
    ) &
}
probe_until_shown() {  # probe_until_shown CAPTION OUTPUT [POINTS...]: waits up to 20 s for the window
    for _ in $(seq 100); do
        # The console ends the probe's lines with CR LF.
        if wine "$probe" "$1" "${@:3}" 2>&1 | tr -d '\r' > "$2" && grep -q '^state visible' "$2"; then return 0; fi
        sleep 0.2
    done
    return 1
}
wait_status() {  # wait_status OUTPUT: the application's exit status, after at most 30 s
    for _ in $(seq 150); do
        [ -s "$1.status" ] && { cat "$1.status"; return; }
        sleep 0.2
    done
    echo timeout
}
screenshot() {  # screenshot NAME: the screen as ARTIFACTS/NAME.png, for a reviewer
    if command -v xwd > /dev/null && [ -x /usr/bin/convert ]; then
        xwd -root | /usr/bin/convert xwd:- "$artifacts/$1.png" 2> /dev/null
    fi
}
frame_line() { grep "^\[frame\] $1" "$2" | tail -n 1; }
# pack_variant NAME CAPTION APPEARANCE WINDOW [BEHAVIOUR]: packs the demo as NAME.exe with a
# borderless window of its own identifier and caption, the extra [appearance] lines APPEARANCE, the
# size and position lines WINDOW in place of the demo's, and the extra [behaviour] lines BEHAVIOUR.
pack_variant() {
    mkdir -p "$work/$1"
    cp -r "$root/examples/demo/." "$work/$1/"
    python3 - "$work/$1/velmo.toml" "$1" "$2" "$3" "$4" "${5:-}" <<'PY'
import sys
path, name, caption, appearance, window, behaviour = sys.argv[1:]
text = open(path).read()
text = text.replace('identifier = "Velmo/Demo\\\\V1.0"', f'identifier = "Velmo/{name}\\\\V1.0"')
text = text.replace('[appearance]\n', f'[appearance]\ncaption = "{caption}"\n{appearance}\n')
text = text.replace('border = ["single", "resizable"]', 'border = ["none"]')
text = text.replace('width = 640\nheight = 480\nposition = "center"', window)
text = text.replace('[behaviour]\n', f'[behaviour]\n{behaviour}\n')
open(path, 'w').write(text)
PY
    wine "$velmo" pack "$work/$1" -o "$work/$1.exe" --runtime "$projector" > "$work/pack-$1.out" 2>&1 ||
        { echo "FAILED: pack $1"; cat "$work/pack-$1.out"; exit 1; }
}

# The demo: a 640 x 480 window in the middle of the 1024 x 768 desktop, up until its movie says
# "quit" three seconds in.
wine "$velmo" pack "$root/examples/demo" -o "$work/demo.exe" --runtime "$projector" > /dev/null ||
    { echo "FAILED: pack"; exit 1; }
printf 'wait 3000\nfscommand quit\n' > "$work/later.txt"
start_app "$work/demo.exe" "$work/later.txt" "$work/demo.out"
check "the demo's window shows" probe_until_shown "Velmo Demo" "$work/probe.out"
screenshot demo-window
xwininfo -root -tree > "$work/tree.out" 2>&1
check "the X server lists the window by its caption" grep -q '"Velmo Demo"' "$work/tree.out"
check "the probe sees the demo's place: centred on the desktop" grep -qx 'window 192,144 640x480' "$work/probe.out"
check "the demo's window is neither topmost nor shaped" grep -qx 'region none' "$work/probe.out"
check "the demo has no tray icon" grep -qx 'tray 0' "$work/probe.out"
# The system menu's "About..." (posted as the menu posts it) shows the About box: a line on standard
# output in runs without dialogs.
wine "$probe" "Velmo Demo" '!0x800C' > /dev/null 2>&1
status=$(wait_status "$work/demo.out")
check "quit from the movie ends the runtime with 0 (got $status)" test "$status" = 0
check "the About command reached the frame" grep -q '^\[frame\] about box "About Velmo Demo"' "$work/demo.out"
check "the About box shows the product and its version" grep -q '^About Velmo Demo: Velmo Demo 1.0' "$work/demo.out"
check "the run folder is removed" test -z "$(ls -A "$work/tmp")"
size_line=$(frame_line "size:" "$work/demo.out")
check "the verbose size line gives the rectangle the system reported" \
    bash -c "[[ '$size_line' == *'-> window 192,144 640x480, client '$(sed -n 's/^client //p' "$work/probe.out")* ]]"
appearance=$(frame_line "appearance:" "$work/demo.out")
shown_style=$(sed -n 's/^style 0x//p' "$work/probe.out")
# The verbose line tells the style before the window is shown; shown, it adds WS_VISIBLE.
check "the verbose style is the system's, less WS_VISIBLE" \
    test "$(printf '0x%X' $((0x$shown_style & ~0x10000000)))" = "$(sed -n 's/.*, style \(0x[0-9A-F]*\),.*/\1/p' <<< "$appearance")"

# A clip-shaped, topmost application with a tray icon: the mask's two rectangles, drawn at the
# movie's own 640 x 480 and stretched to the 400 x 200 window, are the window: (0,0)-(200,200) and
# (300,100)-(400,200).
mkdir -p "$work/shaped"
python3 - "$work/shaped/round.msk" <<'PY'
import struct, sys
rects = [(0, 0, 320, 480), (480, 240, 640, 480)]
data = struct.pack('<IIII', 32, 1, len(rects), 16 * len(rects)) + struct.pack('<iiii', 0, 0, 640, 480)
data += b''.join(struct.pack('<iiii', *r) for r in rects)
open(sys.argv[1], 'wb').write(struct.pack('<I', len(data)) + data)
PY
pack_variant shaped "Velmo Shaped" \
    $'shape = "clip"\nclip_image = "round.msk"\nregions = ["round.msk"]\nscale = "exact_fit"' \
    $'width = 400\nheight = 200\nposition = "center"' $'always_on_top = true\ntray_icon = true'
start_app "$work/shaped.exe" "$work/later.txt" "$work/shaped.out"
check "the shaped window shows" probe_until_shown "Velmo Shaped" "$work/shaped-probe.out" 10,10 199,199 250,50 350,150 350,50
sleep 0.5
screenshot shaped-window
check "a point of the first square is inside" grep -qx 'point 10,10 inside' "$work/shaped-probe.out"
check "the first square's far corner is inside" grep -qx 'point 199,199 inside' "$work/shaped-probe.out"
check "between the squares is outside" grep -qx 'point 250,50 outside' "$work/shaped-probe.out"
check "a point of the second square is inside" grep -qx 'point 350,150 inside' "$work/shaped-probe.out"
check "above the second square is outside" grep -qx 'point 350,50 outside' "$work/shaped-probe.out"
check "the shaped window is topmost" grep -qx 'topmost 1' "$work/shaped-probe.out"
check "the shaped window has its tray icon" grep -qx 'tray 1' "$work/shaped-probe.out"
check "the shaped window is a popup" bash -c "(( 0x$(sed -n 's/^style 0x//p' "$work/shaped-probe.out") & 0x80000000 ))"
status=$(wait_status "$work/shaped.out")
check "the shaped application ends with 0 (got $status)" test "$status" = 0
check "the verbose line tells the region's rectangles" \
    grep -q '^\[frame\] window region from 1 image(s), 2 rectangle(s)' "$work/shaped.out"

# A transparent window: the stand-in movie paints one red square; around it the desktop shows
# through the layered window, as the screen's pixels show.
pack_variant clear "Velmo Clear" 'shape = "transparent"' $'width = 200\nheight = 200\nposition = "top_left"'
wine "$probe" - @150,150 2>&1 | tr -d '\r' > "$work/desktop.out"
desktop=$(sed -n 's/^pixel 150,150 //p' "$work/desktop.out")
printf 'paint 0 0 100 100 FF0000\nwait 3000\nfscommand quit\n' > "$work/square.txt"
start_app "$work/clear.exe" "$work/square.txt" "$work/clear.out"
check "the transparent window shows" probe_until_shown "Velmo Clear" "$work/clear-probe.out"
sleep 0.5
screenshot transparent-window
wine "$probe" "Velmo Clear" @50,50 @150,150 2>&1 | tr -d '\r' > "$work/clear-probe.out"
check "the transparent window is layered" bash -c "(( 0x$(sed -n 's/^extended 0x//p' "$work/clear-probe.out") & 0x80000 ))"
check "the movie's square is on the screen" grep -qx 'pixel 50,50 FF0000' "$work/clear-probe.out"
check "the desktop ($desktop) shows through beside it" grep -qx "pixel 150,150 $desktop" "$work/clear-probe.out"
status=$(wait_status "$work/clear.out")
check "the transparent application ends with 0 (got $status)" test "$status" = 0
check "the verbose lines tell the layered mode" grep -q '^\[frame\] transparent: layered' "$work/clear.out"

# velmo.exe play opens the real frame too: its window is there while a movie command keeps a
# script busy for a few seconds.
printf '%s\n' "fscommand Velmo_Eval var end = new Date().getTime() + 3000; while (new Date().getTime() < end) {}" \
    'fscommand quit' > "$work/busy.txt"
(
    wine "$velmo" play "$(winepath -w "$work/demo.exe")" --movie-driver "$(winepath -w "$work/busy.txt")" \
        > "$work/play.out" 2>&1
    echo $? > "$work/play.out.status"
) &
shown=1
for _ in $(seq 100); do
    xwininfo -root -tree 2> /dev/null | grep -q '"Velmo Demo": .* 640x480+192+144' && { shown=0; break; }
    sleep 0.2
done
check "velmo play shows the demo's window at its place" test "$shown" = 0
status=$(wait_status "$work/play.out")
check "velmo play ends with 0 after the movie's quit (got $status)" test "$status" = 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
