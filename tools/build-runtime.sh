#!/usr/bin/env bash
# Builds what authors ship: the Windows runtime velmo-projector.exe as a Release build (optimized
# for size, statically linked, stripped) in build-runtime/, and copies it into runtime/ beside the
# Linux tool (build/bin/runtime/) when that exists: `velmo pack` builds on the runtime it finds
# there unless told otherwise (--runtime EXE, --runtime none, VELMO_RUNTIME).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-runtime"
"$root/tools/install-deps.sh" windows
"$root/tools/build-boost-regex-mingw.sh" "$root/build-win/boost-regex"
"$root/tools/build-libffi-mingw.sh" "$root/build-win/libffi"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DVELMO_TESTS=OFF -DVELMO_BOOST_REGEX_DIR="$root/build-win/boost-regex" \
    -DVELMO_LIBFFI_DIR="$root/build-win/libffi" \
    -DCMAKE_CXX_FLAGS="-ffunction-sections -fdata-sections" \
    -DCMAKE_EXE_LINKER_FLAGS="-static -static-libgcc -static-libstdc++ -Wl,--gc-sections" > /dev/null
cmake --build "$build" --target velmo-projector
x86_64-w64-mingw32-strip -o "$build/velmo-projector.exe" "$build/bin/velmo-projector.exe"
if [ -d "$root/build/bin" ]; then
    mkdir -p "$root/build/bin/runtime"
    cp "$build/velmo-projector.exe" "$root/build/bin/runtime/velmo-projector.exe"
fi
echo "runtime: $build/velmo-projector.exe ($(stat -c %s "$build/velmo-projector.exe") bytes)"

# --check: the runtime runs the demo under wine (in a virtual X server) until its movie says
# "quit", with the packed application built by the Linux tool on this runtime.
if [ "${1:-}" = "--check" ]; then
    velmo="$root/build/bin/velmo"
    [ -x "$velmo" ] || { echo "build-runtime: --check needs the Linux tool in build/bin (tools/test.sh)"; exit 1; }
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    "$velmo" pack "$root/examples/demo" -o "$work/demo.exe" --runtime "$build/velmo-projector.exe" | head -n 1
    printf 'fscommand Velmo_Eval trace("running on the shipping runtime");\nfscommand quit\n' > "$work/quit.txt"
    # The Windows test stage's prefix when there is one; a prefix of its own takes a minute more.
    export WINEPREFIX="$root/build-win/wine-prefix" WINEDEBUG=-all
    [ -f "$WINEPREFIX/system.reg" ] || WINEPREFIX="$work/prefix"
    export VELMO_MOVIE_DRIVER="Z:${work//\//\\}\\quit.txt" VELMO_VERBOSE=1
    status=0
    xvfb-run -a bash -c '
        [ -f "$WINEPREFIX/system.reg" ] || WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init > /dev/null 2>&1
        wine "$1" > "$2" 2>&1; status=$?
        wineserver -k 2> /dev/null
        exit $status' run "$work/demo.exe" "$work/run.out" || status=$?
    grep -e '^\[trace\]' -e 'exited' "$work/run.out" || true
    [ "$status" -eq 0 ] && grep -q '^\[app\] exited' "$work/run.out" ||
        { echo "build-runtime: the shipping runtime did not run the demo (status $status)"; cat "$work/run.out"; exit 1; }
    echo "build-runtime: the shipping runtime ran the demo"
fi
