#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs every test; then the same for
# Windows (tools/test-windows.sh: build-win/, tests under wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" build test desktop
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMO_TESTS=ON > /dev/null
cmake --build "$root/build"
cd "$root/build"
ctest --output-on-failure -j2
"$root/tools/test-windows.sh"
