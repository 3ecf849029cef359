#!/usr/bin/env bash
# The scripts' Menu object in a played application on the headless desktop: a definition packed
# from the project's text form is loaded and put on the main window, a command sent to the window
# reaches onCommand by name, and everything shows as [menu] lines under --verbose. A definition
# that does not parse stops the build with its file and line.
# Usage: menu_play_test.sh VELMO-BINARY SOURCE-ROOT
set -u
velmo=$1
root=$2
source "$(dirname "$0")/checks.sh"

mkdir -p "$work/app/menus"
cp -r "$root/examples/demo/." "$work/app/"
cat >> "$work/app/velmo.toml" <<'TOML'

[menus]
main = "menus/main.menu"
TOML
cat > "$work/app/menus/main.menu" <<'MENU'
# The main window's menu bar.
popup "&File"
    item open "&Open..." "Ctrl+O"
    separator
    item quit "E&xit"
end
item about "&About"
MENU
cat > "$work/app/scripts/initialize.qvs" <<'QVS'
var bar = new Menu();
trace("missing ", bar.load("nothing"), " ", bar.setMenu());
var loaded = bar.load("MAIN");
trace("load ", loaded, " ", bar.getSubMenu(0), " ", bar.getSubMenu(1) === null);
trace("set ", bar.setMenu());
Menu.onCommand = function(name) { trace("command ", name, " ", this === Menu); };
bar.enableAccel = true;
// The first name registered gets the first command id of the scripted range, 47000.
var frame = getMainWnd().handle;
Application.sendMessage(frame, 0x111, 47000, 0);
Application.sendMessage(frame, 0x111, 47002, 0);
Application.sendMessage(frame, 0x111, 47099, 0);
true;
QVS
"$velmo" pack "$work/app" -o "$work/app.exe" > "$work/pack.out" || { echo "FAILED: pack"; exit 1; }
check "pack writes the definition as a MENUS resource" grep -q '^  resource MENUS *main ' "$work/pack.out"
"$velmo" play "$work/app.exe" --verbose > "$work/run.out" 2>&1
check "the run exits 0" test $? -eq 0
check "a missing definition loads nothing" grep -q '^\[trace\] missing false false$' "$work/run.out"
check "the packed definition loads, by its name in any case" \
    grep -q '^\[trace\] load true \[object Menu\] true$' "$work/run.out"
check "the bar was built from the definition" \
    grep -q '^\[menu\] append 0x[0-9A-F]* command 47000 "&Open...\\tCtrl+O"$' "$work/run.out"
check "the separator came through" grep -q '^\[menu\] append 0x[0-9A-F]* separator$' "$work/run.out"
check "setMenu puts the bar on the main window" grep -q '^\[trace\] set true$' "$work/run.out"
check "the bar is the main window's" grep -q '^\[menu\] bar 0x[0-9A-F]* 0x[0-9A-F]*$' "$work/run.out"
check "the bar is drawn again" grep -q '^\[menu\] redraw 0x[0-9A-F]*$' "$work/run.out"
check "the accelerators are installed for the main window" \
    grep -q '^\[menu\] accelerators 1 for 0x[0-9A-F]*: Ctrl+O=47000$' "$work/run.out"
check "a command reaches onCommand by name, this the class" grep -q '^\[trace\] command open true$' "$work/run.out"
check "the third name has the third id" grep -q '^\[trace\] command about true$' "$work/run.out"
check "an id without a name reaches no script" bash -c "[ \$(grep -c '^\[trace\] command' '$work/run.out') -eq 2 ]"
check "the bar goes from the window with the engine" grep -q '^\[menu\] bar 0x[0-9A-F]* none$' "$work/run.out"
check "the menu is destroyed with its object" grep -q '^\[menu\] destroy 0x[0-9A-F]*$' "$work/run.out"
"$velmo" play "$work/app.exe" > "$work/quiet.out" 2>&1
check "without --verbose no menu lines" bash -c "! grep -q '^\[menu\]' '$work/quiet.out'"

# A definition with a mistake: the build stops and names the file and line.
printf 'popup "&File"\n    item open "&Open" "Ctrl+Nope"\nend\n' > "$work/app/menus/main.menu"
"$velmo" pack "$work/app" -o "$work/bad.exe" > "$work/bad.out" 2>&1
check "a bad key text refuses the build" test $? -eq 1
check "the error names the definition's file and line" \
    grep -q '^velmo: menus/main.menu:2: "Ctrl+Nope" names no key' "$work/bad.out"

summary
