#!/usr/bin/env bash
# Builds every fuzz target with clang, libFuzzer and AddressSanitizer, then runs each one for
# SECONDS (default 60) starting from its checked-in seeds. Any finding fails the run.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
"$root/tools/install-deps.sh" fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DVELMO_FUZZ=ON -DVELMO_TESTS=OFF -DVELMO_SANITIZE=ON > /dev/null
cmake --build "$build" > /dev/null

status=0
for target in "$build"/bin/*_fuzz; do
    name=$(basename "$target")
    seeds="$root/fuzz/corpus/${name%_fuzz}"
    work="$root/fuzz/corpus-work/${name%_fuzz}"
    mkdir -p "$work"
    echo "== $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        -artifact_prefix="$work/" "$work" "$seeds" > "$work.log" 2>&1; then
        echo "!! $name found a problem; see $work.log"
        tail -n 30 "$work.log"
        status=1
    else
        grep -E '^#[0-9]+.*DONE' "$work.log" | tail -n 1 || true
    fi
done
exit $status
