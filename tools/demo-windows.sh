#!/usr/bin/env bash
# The demo in a real window: cross-builds the Windows tool and runtime (build-win/), packs the demo
# with the runtime and runs it under wine, with the stand-in movie of tools/demo.sh and five seconds
# to look at the window before the movie says "quit". The steps print as the runtime takes them.
# With a display (DISPLAY set) the window opens there; without one it opens in a virtual X server
# and a screenshot is kept in build-win/artifacts/demo.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win"
if [ "${1:-}" != "--inside-display" ]; then
    "$root/tools/install-deps.sh" windows
    "$root/tools/build-boost-regex-mingw.sh" "$build/boost-regex"
    "$root/tools/build-libffi-mingw.sh" "$build/libffi"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Debug > /dev/null
    cmake --build "$build" --target velmo velmo-projector > /dev/null
    if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display; fi
fi

# A prefix of the demo's own, kept between runs (making one takes about a minute).
export WINEPREFIX="$build/wine-demo" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making the wine prefix $WINEPREFIX (once)"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init > /dev/null 2>&1
fi
if [ "${1:-}" = "--inside-display" ]; then
    # No window manager in the virtual X server: wine's own desktop draws the captions and frames.
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f > /dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1
    wineserver -k 2> /dev/null || true
    wineserver -w 2> /dev/null || true
fi
mkdir -p "$build/artifacts"
wine "$build/bin/velmo.exe" pack "$(winepath -w "$root/examples/demo")" -o "$(winepath -w "$build/demo.exe")" \
    --runtime "$(winepath -w "$build/bin/velmo-projector.exe")"
sed 's/^fscommand quit$/wait 5000\nfscommand quit/' "$root/examples/demo-movie.txt" > "$build/demo-movie.txt"
VELMO_MOVIE_DRIVER=$(winepath -w "$build/demo-movie.txt") VELMO_VERBOSE=1 wine "$build/demo.exe" &
app=$!
if [ "${1:-}" = "--inside-display" ]; then
    sleep 3
    xwd -root | /usr/bin/convert xwd:- "$build/artifacts/demo.png"
    echo "screenshot: $build/artifacts/demo.png"
fi
status=0
wait "$app" || status=$?
wineserver -k 2> /dev/null || true
echo "the demo exited with status $status"
exit $status
