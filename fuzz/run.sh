#!/usr/bin/env bash
# Builds every fuzz target with clang, libFuzzer and AddressSanitizer, then runs each one for
# SECONDS (default 60) starting from its checked-in seeds. Any finding fails the run.
# With --seeds, each target only runs every seed once (no mutation): a quick check that the seeds
# themselves pass. VELMO_FUZZ_BUILD names another build folder than build-fuzz/.
set -euo pipefail
seedsOnly=0
if [ "${1:-}" = "--seeds" ]; then
    seedsOnly=1
    shift
fi
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELMO_FUZZ_BUILD:-$root/build-fuzz}"
"$root/tools/install-deps.sh" fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DVELMO_FUZZ=ON -DVELMO_TESTS=OFF -DVELMO_SANITIZE=ON > /dev/null
cmake --build "$build" > "$build/build.log" 2>&1 || { tail -n 40 "$build/build.log"; exit 1; }

status=0
for target in "$build"/bin/*_fuzz; do
    name=$(basename "$target")
    seeds="$root/fuzz/corpus/${name%_fuzz}"
    work="$root/fuzz/corpus-work/${name%_fuzz}"
    mkdir -p "$work"
    if [ "$seedsOnly" -eq 1 ]; then
        echo "== $name over its seeds"
        if ! "$target" -runs=0 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" "$seeds" > "$work.log" 2>&1; then
            echo "!! $name failed on a seed; see $work.log"
            tail -n 30 "$work.log"
            status=1
        fi
        continue
    fi
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
