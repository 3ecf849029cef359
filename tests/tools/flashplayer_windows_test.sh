#!/usr/bin/env bash
# FlashPlayer in the Windows runtime over the stand-in ActiveX control, registered as the player: the
# bindings, clip paths, arrays, objects and playback calls that flashplayer_play_test.sh checks over
# the in-process stand-in, now through the control's dispatch interface; and the movie window's
# context-menu event on the control's own window, through the shared window procedure.
# Usage: flashplayer_windows_test.sh VELMO.EXE VELMO-PROJECTOR.EXE CONTROL.DLL SOURCE-ROOT WINEPREFIX
set -u
velmo=$1
projector=$2
control=$3
root=$4
export WINEPREFIX=$5 WINEDEBUG=-all VELMO_NO_DIALOGS=1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp"
wine_tmp=$(winepath -w "$work/tmp")
failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
has() { tr -d '\r' < "$work/run.out" | grep -qF -- "$1"; }
recorded() { tr -d '\r' < "$work/run.record" | grep -qF -- "$1"; }

wine regsvr32 /s "$(winepath -w "$control")" > /dev/null 2>&1 || { echo "FAILED: regsvr32"; exit 1; }
mkdir -p "$work/app"
cp -r "$root/examples/demo/." "$work/app/"
cp "$here/flashplayer/checks.qvs" "$work/app/scripts/checks.qvs"
sed -i 's|^Initialize = "scripts/initialize.qvs"$|&\nChecks = "scripts/checks.qvs"|' "$work/app/velmo.toml"
wine "$velmo" pack "$(winepath -w "$work/app")" -o "$(winepath -w "$work/app.exe")" --runtime "$(winepath -w "$projector")" \
    > "$work/pack.out" 2>&1 || { echo "FAILED: pack"; cat "$work/pack.out"; exit 1; }

# No VELMO_MOVIE_DRIVER: the runtime creates the registered control by its class id, and the control
# reads the same driving file.
VELMO_STANDIN_DRIVER=$(winepath -w "$here/flashplayer/movie.txt") VELMO_STANDIN_RECORD=$(winepath -w "$work/run.record") \
    VELMO_VERBOSE=1 VELMO_MOVIE_DRIVER= timeout 120 \
    wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$work/app.exe")" \
    > "$work/run.out" 2>&1
status=$?
check "the runtime exits 0 (got $status)" test "$status" = 0
check "the runtime held no in-process stand-in" bash -c "! grep -q '^\[movie\]' '$work/run.out'"
check "bound variables read as nested values, a missing one as undefined" \
    has '[trace] bound 42 two undefined [object MovieClip]'
check "the update toward the movie reached the control" recorded 'SetVariable("_root.hud.score", "99")'
check "a variable the movie lacks is written as undefined" recorded 'SetVariable("_root.hud.gone", "undefined")'
check "an array came from numbered variables" has '[trace] array 3 2 x true'
check "an object went out as dotted variables" recorded 'SetVariable("saved.name", "Ada")'
check "frames, a jump and a refused call" has '[trace] frames 12 at 0, goto true 7, refused -1'
check "the jump reached the control" recorded 'GotoFrame(7)'
check "the demo movie's header" has '[trace] movie 640x480 v9 1 frames'
# The control's own window is the movie window here; the message goes through its real procedure.
check "a right click on the control's window ran the handler" has '[trace] context menu on VelmoStandinControl'
check "and was kept from the control" has '[trace] right button 0 clicks 1'
check "a cleared handler no longer runs" has '[trace] after clearing, clicks 1, print dialog true'
check "the print dialog switch" has '[trace] print dialog false'
# movieToWindow works on the real client area, whose size the system's frame decides.
client=$(tr -d '\r' < "$work/run.out" | sed -n 's/^\[trace\] window .* client \([0-9]*x[0-9]*\)$/\1/p')
check "movieToWindow answered over a client area (${client:-none})" test -n "$client"
if [ "$failures" -ne 0 ]; then
    echo "--- runtime output"; tr -d '\r' < "$work/run.out" | head -60
    echo "--- control record"; tr -d '\r' < "$work/run.record" 2>/dev/null | head -40
fi
[ "$failures" -eq 0 ]
