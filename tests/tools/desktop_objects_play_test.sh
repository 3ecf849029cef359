#!/usr/bin/env bash
# DesktopToy and DirectX in a played application, through the command-line tool: a window thrown
# to the right comes to rest against the work area's right edge, then, dropped with gravity and a
# total loss at each bounce, rests on the bottom edge (the model screen's task bar is 40 pixels
# high); the run ends when the animation's timer stops. Display mode changes show as [app] lines.
# Usage: desktop_objects_play_test.sh VELMO-BINARY
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"

project="$work/toy"
mkdir -p "$project"
printf 'FWS\001' > "$project/movie.swf"
# The throw starts from a tick of an interval, when the frame has its place (192,144, 640 x 480).
cat > "$project/init.qvs" <<'SCRIPT'
stops = 0;
DesktopToy.onStop = function (left, top) {
    trace("stopped at " + left + "," + top);
    if (++stops == 1) DesktopToy.act(0, 0, 4000, 90, 100, true);
};
function Start() {
    Application.clearInterval(id);
    DesktopToy.act(3000, 0, 0, 0, 0);
    trace("thrown: " + DesktopToy.followCursor);
}
id = Application.setInterval(Start, 10);
trace("mode " + DirectX.setDisplayMode(800, 600, 16) + " " + DirectX.setDisplayMode(801, 600, 16) + " " + DirectX.restore());
true;
SCRIPT
printf '[application]\nidentifier = "Velmo/toy\\\\V1.0"\n\n[movie]\nfile = "movie.swf"\n\n[scripts]\nInitialize = "init.qvs"\n' \
    > "$project/velmo.toml"
"$velmo" pack "$project" -o "$work/toy.exe" > "$work/pack.out" 2>&1 || { echo "FAILED: pack"; cat "$work/pack.out"; exit 1; }
VELMO_SCREEN=1024x768 "$velmo" play "$work/toy.exe" --verbose --timeout 20 > "$work/play.out" 2>&1
status=$?
has() { grep -q -- "$1" "$work/play.out"; }

check "the played application exits 0" test "$status" -eq 0
check "the frame starts at 192,144" has '^\[frame\] size: .* -> window 192,144 640x480'
check "the throw starts" has '^\[trace\] thrown: false$'
check "the thrown window rests on the right edge" has '^\[trace\] stopped at 384,144$'
check "the dropped window rests on the work area's bottom" has '^\[trace\] stopped at 384,248$'
check "the run ends with the animation, not the time-out" \
    bash -c "[ \"\$(grep -c '^\[trace\] stopped at' '$work/play.out')\" -eq 2 ] && ! grep -q 'timed out' '$work/play.out'"
check "display modes: set, refused, restored" has '^\[trace\] mode true false true$'
check "the mode change is noted" has '^\[app\] display mode 800 x 600, 16 bits: set$'
check "the refused mode is noted" has '^\[app\] display mode 801 x 600, 16 bits: refused$'
check "the restore is noted" has '^\[app\] display mode restored$'
[ "$failures" -eq 0 ] || cat "$work/play.out"
summary
