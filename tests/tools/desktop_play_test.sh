#!/usr/bin/env bash
# `velmo play --window` on the Linux desktop, under Xvfb: an application whose generated movie sends
# fscommands, calls a script function and registers a callback plays in a real window with the real
# player. Checked: the movie's fscommand reaches the scripts, the movie's external call gets the
# script's reply back (the movie sends it on in a second fscommand), a script's call into the movie's
# callback returns the movie's value, and the screen shows the movie's rectangle and stage colours
# where the movie puts them; for an uncompressed and a compressed movie. The application ends by
# itself and leaves no process behind. Start-up time and memory are printed, not judged.
# Usage: desktop_play_test.sh VELMO-BINARY SOURCE-ROOT [SHOTS-FOLDER]
set -u
velmo=$1
root=$2
shots=${3:-}
if [ "${VELMO_IN_XVFB:-}" != 1 ]; then
    # A display of its own, 24-bit so that colours read back exactly.
    exec env VELMO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMP="$work/tmp" XDG_CONFIG_HOME="$work/config"
# A sanitizer build reports the toolkit's process-wide allocations at exit; they are not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$root/tests/tools/desktop_leaks.supp"
mkdir -p "$TMP"
failures=0
passed=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; passed=$((passed + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

# The project: Initialize defines the function the movie calls, whose reply is a script that the
# movie hands back with Velmo_Eval; that script traces and closes the window a moment later, time
# enough for the screenshot. Probe, run by the movie's second fscommand, calls the movie's callback,
# and moves and renames the main window through its Window object: the window by the model's
# handle is the real one (its movie lands 16, 8 pixels further on the screen).
mkdir -p "$work/app/scripts"
cat > "$work/app/velmo.toml" <<'EOF'
[application]
identifier = "Velmo/DesktopTest\\V1.0"

[movie]
file = "movie.swf"

[scripts]
Initialize = "scripts/init.qvs"
Probe = "scripts/probe.qvs"

[window]
size = "movie"
position = "custom"
x = 0
y = 0
EOF
cat > "$work/app/scripts/init.qvs" <<'EOF'
function Close() {
    getMainWnd().close();
}
function Greet(name) {
    // The page waits for this reply: a call into the movie now is refused rather than frozen.
    trace("calling the movie while it waits gives ", echo("inner"));
    return 'trace("reply seen by the movie: Hello, ' + name + '"); Application.setInterval(Close, 3000);';
}
true;
EOF
cat > "$work/app/scripts/probe.qvs" <<'EOF'
Application.registerASMethods("echo");
// A second argument the callback does not declare must not reach its first parameter.
trace("the movie's callback answered: ", echo("ping", "pong"));
var main = getMainWnd();
main.caption = "Renamed by a script";
main.move(16, 8, 336, 248);
EOF

# pixel IMAGE X Y: the colour at X, Y as RRGGBB.
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tr a-f A-F
}
# Every run has a --timeout as a safety net; one that ends ten seconds before it ended by itself.
timeout=40
ended_by_itself() { test $(( ($(date +%s%N) - $1) / 1000000000 )) -lt $((timeout - 10)); }
# rss PID: resident memory in MiB.
rss() { awk '/^VmRSS:/ { printf "%d", $2 / 1024 }' "/proc/$1/status" 2>/dev/null; }

# play KIND MOVIE-OPTIONS...: packs and plays the project with a movie written with those options.
play() {
    local kind=$1 out="$work/$1.out" started pid waited line first="" webPids
    python3 "$root/tests/support/movie_writer.py" "$work/app/movie.swf" "${@:2}" --callback echo=movie: \
        --fscommand 'Velmo_Eval=trace("fscommand seen by the scripts")' --fscommand Velmo_Run=Probe \
        --call Greet=world --reply-command Velmo_Eval || { echo "FAILED: $kind: writing the movie"; return 1; }
    "$velmo" pack "$work/app" -o "$work/$kind.exe" > /dev/null || { echo "FAILED: $kind: pack"; return 1; }
    started=$(date +%s%N)
    "$velmo" play --window --verbose --timeout $timeout "$work/$kind.exe" > "$out" 2>&1 &
    pid=$!
    # Until the reply is in (then the window shows the movie for three more seconds).
    for waited in $(seq 1 400); do
        if [ -z "$first" ] && grep -q '^\[movie\] fscommand' "$out"; then first=$(( ($(date +%s%N) - started) / 1000000 )); fi
        grep -q '^\[trace\] reply seen by the movie' "$out" && break
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    webPids=$(pgrep -P "$pid" -f WebKit | tr '\n' ' ')
    line="$kind: first fscommand after ${first:-?} ms; RSS window process $(rss "$pid") MiB"
    for child in $webPids; do line="$line, $(tr '\0' ' ' < "/proc/$child/cmdline" 2> /dev/null | awk '{ n = split($1, p, "/"); print p[n] }') $(rss "$child") MiB"; done
    echo "measured: $line"
    sleep 0.5  # a frame's time for the view to draw after the last command
    xwd -root -silent | convert xwd:- "$work/$kind.png"
    xwininfo -name "Renamed by a script" > "$work/$kind.info" 2>&1
    [ -n "$shots" ] && mkdir -p "$shots" && cp "$work/$kind.png" "$shots/"
    wait "$pid"
    local status=$?
    check "$kind: the application closed itself with status 0" test "$status" -eq 0
    check "$kind: the movie's fscommand reached the scripts" grep -q '^\[trace\] fscommand seen by the scripts$' "$out"
    check "$kind: the movie got the script's reply to its call" grep -q '^\[trace\] reply seen by the movie: Hello, world$' "$out"
    check "$kind: the movie's callback answered the script" grep -q "^\[trace\] the movie's callback answered: movie:ping$" "$out"
    check "$kind: a call into the movie while it waits for a reply is refused" \
        grep -q "^\[trace\] calling the movie while it waits gives undefined$" "$out"
    check "$kind: the run ended before its time-out" ended_by_itself "$started"
    check "$kind: the script renamed the real window" grep -q 'Window id: .* "Renamed by a script"' "$work/$kind.info"
    check "$kind: the script moved the real window" grep -q 'Absolute upper-left X: *16$' "$work/$kind.info"
    # WebKit's helpers see their connection close; they are given a few seconds to go.
    local left="" tries
    for tries in $(seq 1 50); do
        left=""
        for child in $webPids; do kill -0 "$child" 2> /dev/null && left="$left $child"; done
        [ -z "$left" ] && break
        sleep 0.1
    done
    check "$kind: no web process is left behind" test -z "$left"
    [ "$failures" -eq 0 ] || sed 's/^/    /' "$out" | tail -n 30
}

play plain --size 320x240 --background 0000FF --rect 40,30,120,80 --color FF0000
# Screen points: the movie's own plus the window's place, 16, 8.
check "plain: the rectangle shows in red" test "$(pixel "$work/plain.png" 116 78)" = FF0000
check "plain: the stage shows in blue beside it" test "$(pixel "$work/plain.png" 266 78)" = 0000FF
check "plain: the stage shows in blue above it" test "$(pixel "$work/plain.png" 116 18)" = 0000FF
check "plain: nothing shows left of the moved window" test "$(pixel "$work/plain.png" 8 78)" != 0000FF

play compressed --compressed --size 320x240 --background FFFF00 --rect 150,100,100,60 --color 00FF00
check "compressed: the rectangle shows in green" test "$(pixel "$work/compressed.png" 216 138)" = 00FF00
check "compressed: the stage shows in yellow where the other movie's rectangle was" \
    test "$(pixel "$work/compressed.png" 116 78)" = FFFF00

# The user's input through the frame's filters: a resize keeps the movie's ratio once it ends, a
# drag with the left button moves the window (left_click = "drag"), Esc ends the application
# (exit_keys). Without a window manager xdotool's resize is what a user's would be.
mkdir -p "$work/user"
cat > "$work/user/velmo.toml" <<'EOF'
[movie]
file = "movie.swf"

[appearance]
border = ["single", "resizable"]

[window]
size = "movie"
position = "custom"
keep_ratio = true

[interaction]
left_click = "drag"
exit_keys = ["esc"]
EOF
# start_user NAME: packs the user project as NAME.exe and plays it in the background until its
# movie says "ready"; sets pid, started (for ended_by_itself) and window. Output in NAME.out.
start_user() {
    "$velmo" pack "$work/user" -o "$work/$1.exe" > /dev/null || echo "FAILED: $1: pack"
    started=$(date +%s%N)
    "$velmo" play --window --verbose --timeout $timeout "$work/$1.exe" > "$work/$1.out" 2>&1 &
    pid=$!
    for _ in $(seq 1 300); do grep -q '^\[trace\] ready' "$work/$1.out" && break; sleep 0.1; done
    window=$(xdotool search --name '^user$' | head -n 1)
}
python3 "$root/tests/support/movie_writer.py" "$work/user/movie.swf" --fscommand 'Velmo_Eval=trace("ready")'
start_user user
geometry() {
    xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x "," y " " w "x" h }'
}
xdotool windowsize "$window" 400 240
sleep 1.5
check "a resize by the user keeps the movie's ratio" test "$(geometry)" = "0,0 400x300"
xdotool mousemove --sync 100 100 mousedown 1 mousemove --sync 130 120 mousemove --sync 160 140 mouseup 1
sleep 0.5
check "a drag with the left button moves the window" test "$(geometry)" = "60,40 400x300"
xdotool windowfocus --sync "$window" key Escape
wait "$pid"
check "Esc ends the application" test $? -eq 0
check "Esc ended it before its time-out" ended_by_itself "$started"
[ "$failures" -eq 0 ] || sed 's/^/    /' "$work/user.out" | tail -n 20

# The movie's fullscreen command makes the window cover the screen. A right click that asks for the
# menu (right_click = "menu") shows the context menu; its last item, Close, chosen from the
# keyboard, ends the application.
sed -i 's/^left_click = "drag"$/right_click = "menu"/; /^exit_keys/d' "$work/user/velmo.toml"
python3 "$root/tests/support/movie_writer.py" "$work/user/movie.swf" --fscommand fullscreen=true \
    --fscommand 'Velmo_Eval=trace("ready")'
start_user menu
check "the movie's fullscreen command makes the window cover the screen" test "$(geometry)" = "0,0 1024x768"
xdotool mousemove --sync 100 100 click 3
# The menu's window, once mapped, has the program's name; then it takes the keyboard.
for waited in $(seq 1 50); do [ -n "$(xdotool search --onlyvisible --name '^velmo$')" ] && break; sleep 0.1; done
sleep 0.3
xdotool key Up
sleep 0.3
xdotool key Return
wait "$pid"
check "the context menu's Close ends the application" test $? -eq 0
check "the context menu's Close ended it before its time-out" ended_by_itself "$started"

# Without a display, and with the stand-in's driver, --window refuses to start.
env -u DISPLAY "$velmo" play --window "$work/plain.exe" > "$work/nodisplay.out" 2>&1
check "without a display --window exits 1" test $? -eq 1
check "without a display --window says why" grep -q 'cannot play in a window: no display' "$work/nodisplay.out"
"$velmo" play --window --movie-driver /dev/null "$work/plain.exe" > "$work/usage.out" 2>&1
check "--window with --movie-driver is a usage error" test $? -eq 64

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
