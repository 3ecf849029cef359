#!/usr/bin/env bash
# Builds what authors ship: the Windows runtime velmo-projector.exe as a Release build (optimized
# for size, statically linked, stripped) in build-runtime/, and copies it beside the Linux tool
# (build/bin/) when that exists. `velmo pack` takes the runtime it finds beside itself by default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-runtime"
"$root/tools/install-deps.sh" windows
"$root/tools/build-boost-regex-mingw.sh" "$root/build-win/boost-regex"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DVELMO_TESTS=OFF -DVELMO_BOOST_REGEX_DIR="$root/build-win/boost-regex" > /dev/null
cmake --build "$build" --target velmo-projector
x86_64-w64-mingw32-strip -o "$build/velmo-projector.exe" "$build/bin/velmo-projector.exe"
if [ -d "$root/build/bin" ]; then cp "$build/velmo-projector.exe" "$root/build/bin/velmo-projector.exe"; fi
echo "runtime: $build/velmo-projector.exe ($(stat -c %s "$build/velmo-projector.exe") bytes)"
