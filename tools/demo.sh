#!/usr/bin/env bash
# The main job: builds the tool, packs the demo application, shows what it carries and plays it
# headless, step by step, with a stand-in movie that calls its scripts.
set -euo pipefail
tests=()
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" build
# A build folder made by tools/test.sh keeps its tests switched on.
[ -f "$root/build/CMakeCache.txt" ] || tests=(-DVELMO_TESTS=OFF)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${tests[@]}" > /dev/null
cmake --build "$root/build" --target velmo > /dev/null
velmo="$root/build/bin/velmo"
"$velmo" --version
"$velmo" pack "$root/examples/demo" -o "$root/build/demo.exe"
"$velmo" inspect "$root/build/demo.exe"
"$velmo" play "$root/build/demo.exe" --verbose --movie-driver "$root/examples/demo-movie.txt"
