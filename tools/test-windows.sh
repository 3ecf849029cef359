#!/usr/bin/env bash
# The Windows stage: cross-builds everything in build-win/ with mingw-w64 and runs the tests under
# wine, in a wine prefix of the build's own that is made afresh on each run. The tests include the
# start-up of a packed application (tests/tools/play_windows_test.sh) and the real main window
# (tests/tools/frame_windows_test.sh), both registered with CTest.
#
# Everything wine does runs inside one X server (xvfb-run), in a wine virtual desktop of 1024 x 768:
# a prefix made without a display leaves wine's desktop process unable to make windows later, and
# a desktop of known size makes window geometry predictable and closing windows fast.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win"
if [ "${1:-}" != "--inside-display" ]; then
    "$root/tools/install-deps.sh" windows test
    # Boost.Regex and libffi for mingw, compiled once and kept under build-win/.
    "$root/tools/build-boost-regex-mingw.sh" "$build/boost-regex"
    "$root/tools/build-libffi-mingw.sh" "$build/libffi"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Debug -DVELMO_TESTS=ON > /dev/null
    cmake --build "$build"
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display
fi

# The prefix path must match the one cmake/dependencies.cmake gives CTest.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX" "$build/artifacts"
# One wine server for the whole run, started before anything else uses the prefix (it refuses
# to start when one runs already): the script suites start a wine process per script, and a
# server started afresh for each costs seconds.
wineserver -p
# No mono or gecko: nothing here needs them, and their installers would ask.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init > /dev/null 2>&1  # about a minute
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f > /dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1
# The desktop setting is read when the server starts.
wineserver -k || true
wineserver -w || true
wineserver -p
# The stand-in ActiveX control becomes the registered player of the prefix, for every test that
# hosts a control (docs/movie-standin.md).
wine regsvr32 /s "$(winepath -w "$build/bin/velmo-standin-control.dll")" > /dev/null 2>&1
wine "$build/bin/velmo.exe" --version
cd "$build"
status=0
# Now and then a test program under wine ends within milliseconds with no output at all, before
# any of its code ran (about one process in a few hundred; the same test passes when run again):
# a failed test gets one more run, and only a test that fails twice fails the stage. CTest's log
# still shows the first failure.
ctest --output-on-failure -j2 --repeat until-pass:2 || status=$?
wineserver -k || true
exit $status
