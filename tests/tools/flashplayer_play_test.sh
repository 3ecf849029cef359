#!/usr/bin/env bash
# FlashPlayer in a played application over the stand-in control: bindings and clip paths through the
# movie's variables, the control's calls as [movie] lines, movieToWindow over the real frame and the
# demo movie's header, getMovieInfo of the movie (and none of the packed application, whose package
# is no appended movie), and the movie window's context-menu event, which keeps the movie's own menu
# shut while it is set.
# Usage: flashplayer_play_test.sh VELMO-BINARY SOURCE-ROOT
set -u
velmo=$1
root=$2
source "$(dirname "$0")/checks.sh"
has() { grep -qF -- "$1" "$work/play.out"; }

mkdir -p "$work/app"
cp -r "$root/examples/demo/." "$work/app/"
cp "$(dirname "$0")/flashplayer/checks.qvs" "$work/app/scripts/checks.qvs"
sed -i 's|^Initialize = "scripts/initialize.qvs"$|&\nChecks = "scripts/checks.qvs"|' "$work/app/velmo.toml"
"$velmo" pack "$work/app" -o "$work/app.exe" > "$work/pack.out" 2>&1 || { echo "FAILED: pack"; cat "$work/pack.out"; exit 1; }

"$velmo" play "$work/app.exe" --verbose --movie-driver "$(dirname "$0")/flashplayer/movie.txt" > "$work/play.out" 2>&1
check "the run exits 0" test $? -eq 0
check "bound variables read as nested values, a missing one as undefined" \
    has '[trace] bound 42 two undefined [object MovieClip]'
check "the update toward the movie wrote the bound values" has '[movie] SetVariable("_root.hud.score", "99")'
check "a variable the movie lacks is written as undefined" has '[movie] SetVariable("_root.hud.gone", "undefined")'
check "an array came from numbered variables" has '[trace] array 3 2 x true'
check "an object went out as dotted variables" has '[movie] SetVariable("saved.name", "Ada")'
check "frames, a jump and a refused call" has '[trace] frames 12 at 0, goto true 7, refused -1'
check "the jump reached the control" has '[movie] GotoFrame(7)'
# The demo movie is 640 x 480 and shows all of itself in the client area: s = 455 / 480, so
# 606 x 455 from x = 14; its part 550 x 400 from the top left ends at 14 + 520, 379.
check "movieToWindow placed the movie in the client area" has '[trace] window 14,0 534,379 client 634x455'
check "the demo movie's header" has '[trace] movie 640x480 v9 1 frames'
check "the packed application carries no movie header of its own" has '[trace] packed none'
check "a right click on the movie window ran the handler instead of the menu" \
    has '[trace] context menu on VelmoMovieArea'
check "the right button message was swallowed" has '[trace] right button 0 clicks 1'
check "a cleared handler no longer runs" has '[trace] after clearing, clicks 1, print dialog true'
check "the print dialog switch" has '[trace] print dialog false'
summary
