#!/usr/bin/env bash
# The scripts' Window object on the headless desktop through `velmo play --verbose`: the main
# window has a handle, what a script does to it shows as [window] lines, and its events fire.
# Usage: window_play_test.sh VELMO-BINARY SOURCE-ROOT
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

mkdir -p "$work/app"
cp -r "$root/examples/demo/." "$work/app/"
cat > "$work/app/scripts/initialize.qvs" <<'QVS'
var w = getMainWnd();
w.onMove = function(x, y) { trace("moved to ", x, ",", y, " by ", this.className); };
w.caption = "Moved by a script";
w.move(40, 30, 440, 330);
trace("handle ", w.handle > 0, ", title ", w.caption, ", width ", w.width);
var b = Window.create("BUTTON");
b.caption = "OK";
trace("children ", w.getChildren().length);
true;
QVS
"$velmo" pack "$work/app" -o "$work/app.exe" > /dev/null || { echo "FAILED: pack"; exit 1; }
"$velmo" play "$work/app.exe" --verbose > "$work/run.out" 2>&1
check "the run exits 0" test $? -eq 0
check "the main window is subclassed" grep -q '^\[window\] subclass 0x[0-9A-F]*$' "$work/run.out"
check "the title change is recorded" grep -q '^\[window\] title 0x[0-9A-F]* "Moved by a script"$' "$work/run.out"
check "the move is recorded with its new rectangle" grep -q '^\[window\] move 0x[0-9A-F]* to 40,30 400x300$' "$work/run.out"
check "onMove fired with the client area's corner" grep -q '^\[trace\] moved to 44,53 by VelmoFrame$' "$work/run.out"
check "the script read its changes back" grep -q '^\[trace\] handle true, title Moved by a script, width 400$' "$work/run.out"
check "a child of the main window was made" grep -q '^\[window\] create 0x[0-9A-F]* Button in 0x[0-9A-F]* at 0,0 200x20$' "$work/run.out"
check "the movie window and the button are its children" grep -q '^\[trace\] children 2$' "$work/run.out"
check "the subclass goes with the engine" grep -q '^\[window\] unsubclass 0x[0-9A-F]*$' "$work/run.out"
"$velmo" play "$work/app.exe" > "$work/quiet.out" 2>&1
check "without --verbose no window lines" bash -c "! grep -q '^\[window\]' '$work/quiet.out'"

echo "$(( 10 - failures )) passed, $failures failed"
[ "$failures" -eq 0 ]
