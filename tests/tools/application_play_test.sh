#!/usr/bin/env bash
# The Application object in a running application, played through the command-line tool: the
# start-up movie choice, intervals that keep a window without a user open, --timeout, settings
# changes reaching the frame, the command line, and a movie event handler set by the movie
# (velmo_seh) calling back into the movie through _call.
# Usage: application_play_test.sh VELMO-BINARY
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"

# pack NAME SCRIPT-SOURCE: a project with two movies whose "Initialize" is SCRIPT-SOURCE.
pack() {
    local project="$work/$1"
    mkdir -p "$project"
    printf 'FWS\001' > "$project/movie.swf"
    printf 'FWS\002' > "$project/other.swf"
    printf '%s' "$2" > "$project/init.qvs"
    printf '[application]\nidentifier = "Velmo/%s\\\\V1.0"\n\n[movie]\nfile = "movie.swf"\n\n[scripts]\nInitialize = "init.qvs"\n' \
        "$1" > "$project/velmo.toml"
    "$velmo" pack "$project" -o "$work/$1.exe" > "$work/$1.pack" 2>&1 || { echo "FAILED: pack $1"; cat "$work/$1.pack"; exit 1; }
}
# play NAME [OPTIONS...]: plays NAME.exe verbosely into $work/NAME.out, status in $status.
play() {
    local name=$1
    shift
    "$velmo" play "$work/$name.exe" --verbose "$@" > "$work/$name.out" 2>&1
    status=$?
}
has() { grep -q -- "$2" "$work/$1.out"; }

# The start-up script's onGetMovie handler picks the second packed movie.
pack chooser "Application.onGetMovie = function (o) { o.value = getAdditionalFile('other.swf'); return true; };
Application.onMovieLoaded = function (path) { trace('loaded ' + path.substring(path.lastIndexOf('\\\\') + 1)); };
true;"
play chooser
check "a chosen movie: exit 0" test "$status" -eq 0
check "start-up notes the scripts' choice" has chooser '^\[app\] movie chosen by the scripts: .*other\.swf$'
check "the control gets the chosen movie" has chooser '^\[frame\] movie ".*other\.swf", playing$'
check "the configured movie is not loaded" bash -c "! grep -q '^\[frame\] movie \".*[/\\\\]movie\.swf\"' '$work/chooser.out'"
check "onMovieLoaded hears of the movie" has chooser '^\[trace\] loaded other\.swf$'

# A handler that declines (returns false) leaves the configured movie.
pack declined "Application.onGetMovie = function (o) { o.value = 'nowhere.swf'; return false; }; true;"
play declined
check "a declining handler keeps the configured movie" has declined '^\[frame\] movie ".*movie\.swf", playing$'

# Intervals keep a window without a user open until the last one is cleared.
pack ticking "function tick() {
    trace('tick ' + (++n));
    if (n == 3) { Application.clearInterval(id); trace('cleared'); }
}
n = 0;
id = Application.setInterval(tick, 20);
true;"
play ticking
check "an application with an interval exits 0" test "$status" -eq 0
check "the interval ticks three times" bash -c "[ \"\$(grep -c '^\[trace\] tick ' '$work/ticking.out')\" -eq 3 ]"
check "the run ends after the interval is cleared" \
    bash -c "grep -A100 '^\[trace\] cleared' '$work/ticking.out' | grep -q '^\[app\] exited'"

# An interval never cleared: --timeout ends the run as a closed window does.
pack endless "function tick() { trace('still here'); }
Application.setInterval(tick, 30);
true;"
play endless --timeout 0.5
check "a timed-out run exits 0" test "$status" -eq 0
check "the endless interval ticked" has endless '^\[trace\] still here$'
check "a timed-out run shuts down and removes its run folder" has endless '^\[app\] run folder removed$'
"$velmo" play "$work/endless.exe" --timeout soon > "$work/badtimeout.out" 2>&1
check "a --timeout that is no number is a usage error" test $? -eq 64

# The movie's quit ends a run whose interval is still running.
cat > "$work/quit.txt" <<'DRIVER'
wait 200
fscommand quit
DRIVER
play endless --movie-driver "$work/quit.txt"
check "the movie's quit ends a ticking application" test "$status" -eq 0
check "quit came while ticking" has endless '^\[trace\] still here$'

# Settings changed by the start-up script reach the frame, and the layout uses them.
pack settings "Application.Appearance.caption = 'Changed';
Application.SizeAndPos.setCustomSizeAndPos(10, 20, 300, 200);
Application.Behaviour.bAlwaysOnTop = true;
trace(Application.cmdItems.join('|'));
true;"
play settings -- first 'second item'
check "the caption reaches the frame" has settings '^\[frame\] caption "Changed"$'
check "the start-up layout uses the script's size and place" \
    has settings '^\[frame\] size: mode 3 300x200, position 9 at 10,20'
check "always on top reaches the frame" has settings '^\[frame\] window flags: always on top'
check "the command line carries the application's arguments" has settings '^\[trace\] first|second item$'

# The window operations of Application and SysTray reach the frame, and what the frame answers
# comes back: the tray icon's tip, the focus and capture of the movie window.
pack window "var t = Application.SysTray;
t.tip = 'In the tray';
trace('add ' + t.add());
t.balloonTip = 'Hello'; t.balloonTitle = 'Note'; t.balloonIcon = 'info'; t.balloonTimeout = 1500;
trace('balloon ' + t.showBalloonTip());
trace('remove ' + t.remove() + ' ' + t.remove());
Application.setFocus = true; Application.captureMouse = true;
trace('focus ' + Application.setFocus + ', capture ' + Application.captureMouse);
Application.captureMouse = false;
trace('capture ' + Application.captureMouse);
Application.setDragRegion(0, 0, 100, 20);
Application.setDragRegion();
Application.cursor = 'hide';
trace('sent ' + Application.sendMessage(0x1234, 0x10, 1));
Application.about();
true;"
play window
check "the tray icon shows with the script's tip" has window '^\[frame\] tray icon 128, tip "In the tray"$'
check "add answers true" has window '^\[trace\] add true$'
check "the balloon reaches the frame" has window '^\[frame\] tray balloon "Note": "Hello", icon "info", 1500 ms$'
check "showBalloonTip answers true" has window '^\[trace\] balloon true$'
check "remove answers true, then false" has window '^\[trace\] remove true false$'
check "focus and capture read back" has window '^\[trace\] focus true, capture true$'
check "the capture is released" has window '^\[trace\] capture false$'
check "the drag region reaches the frame" has window '^\[frame\] drag region of 1 rectangle(s)$'
check "and is cleared" has window '^\[frame\] no drag region$'
check "the pointer is hidden" has window '^\[frame\] pointer hidden$'
check "a message sent is told, with the answer of a desktop without that window" \
    has window '^\[app\] message 0x10 (0x1, 0x0) sent to window 0x1234: 0$'
check "sendMessage answers 0 there" has window '^\[trace\] sent 0$'
check "about() opens the About box" has window '^\[frame\] about box "About '

# The movie sets an Application event to one of its own functions (velmo_seh); firing the handler
# calls that movie function through _call with the handler's arguments.
pack seh "true;"
cat > "$work/seh.txt" <<'DRIVER'
function onLoadedInMovie <string>movie saw it</string>
flashcall <invoke name="velmo_seh" returntype="xml"><arguments><string>Application</string><string>onMovieLoaded</string><string>onLoadedInMovie</string></arguments></invoke>
fscommand Velmo_Eval var f = Application.onMovieLoaded; trace('handler answers: ' + f('a.swf'));
flashcall <invoke name="velmo_call" returntype="xml"><arguments><string>Application</string><string>setInterval</string><string>nothing</string><number>5</number></arguments></invoke>
flashcall <invoke name="velmo_call" returntype="xml"><arguments><string>Application</string><string>toString</string></arguments></invoke>
DRIVER
play seh --movie-driver "$work/seh.txt"
check "the handler reaches the movie function with its argument" \
    has seh '^\[movie\] CallFunction(".*<invoke name=\\"onLoadedInMovie\\".*<string>a\.swf</string>'
check "the movie's answer comes back through the handler" has seh '^\[trace\] handler answers: movie saw it$'
check "velmo_call reaches Application by its name: a failing member gives its failure result" \
    has seh '^\[movie\] SetReturnValue("<number>0</number>")$'
check "velmo_call reaches Application by its name" \
    has seh '^\[movie\] SetReturnValue("<string>\[object Application\]</string>")$'

summary
