#!/usr/bin/env bash
# The Windows stage: cross-builds everything in build-win/ with mingw-w64 and runs the tests under
# wine, in a wine prefix of the build's own that is made afresh on each run. The tests include the
# start-up of a packed application (tests/tools/play_windows_test.sh, registered with CTest).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win"
"$root/tools/install-deps.sh" windows test
# Boost.Regex for mingw, compiled once and kept under build-win/boost-regex.
"$root/tools/build-boost-regex-mingw.sh" "$build/boost-regex"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DVELMO_TESTS=ON > /dev/null
cmake --build "$build"

# The prefix path must match the one cmake/dependencies.cmake gives CTest.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One wine server for the whole run, started before anything else uses the prefix (it refuses
# to start when one runs already): the script suites start a wine process per script, and a
# server started afresh for each costs seconds.
wineserver -p
# No mono or gecko: nothing here needs them, and their installers would ask.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init > /dev/null 2>&1  # about a minute
wine "$build/bin/velmo.exe" --version
cd "$build"
status=0
xvfb-run -a ctest --output-on-failure -j2 || status=$?
wineserver -k || true
exit $status
