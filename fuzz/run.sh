#!/usr/bin/env bash
# Builds every fuzz target with clang, libFuzzer and AddressSanitizer, then runs each one for
# SECONDS (default 60) starting from its checked-in seeds. Any finding fails the run.
# With --seeds, each target only runs every seed once (no mutation): a quick check that the seeds
# themselves pass. With --jobs N, N targets run at once (one process each; the default 1 keeps
# each target on a core of its own). After a timed run the executions of every target are listed.
# VELMO_FUZZ_BUILD names another build folder than build-fuzz/.
set -euo pipefail
seedsOnly=0
jobs=1
while [ $# -gt 0 ]; do
    case "$1" in
        --seeds) seedsOnly=1; shift ;;
        --jobs) jobs=${2:?--jobs needs a count}; shift 2 ;;
        *) break ;;
    esac
done
seconds=${1:-60}
case "$jobs" in ''|*[!0-9]*|0) echo "--jobs needs a positive count" >&2; exit 2 ;; esac
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELMO_FUZZ_BUILD:-$root/build-fuzz}"
"$root/tools/install-deps.sh" fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DVELMO_FUZZ=ON -DVELMO_TESTS=OFF -DVELMO_SANITIZE=ON > /dev/null
cmake --build "$build" > "$build/build.log" 2>&1 || { tail -n 40 "$build/build.log"; exit 1; }

# Runs one target; its log is fuzz/corpus-work/TARGET.log, its status is the script's status.
run_target() {
    local target=$1 name seeds work
    name=$(basename "$target")
    seeds="$root/fuzz/corpus/${name%_fuzz}"
    work="$root/fuzz/corpus-work/${name%_fuzz}"
    mkdir -p "$work"
    if [ "$seedsOnly" -eq 1 ]; then
        if ! "$target" -runs=0 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" "$seeds" > "$work.log" 2>&1; then
            echo "!! $name failed on a seed; see $work.log"
            tail -n 30 "$work.log"
            return 1
        fi
        echo "== $name: every seed passes"
        return 0
    fi
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work" "$seeds" > "$work.log" 2>&1; then
        echo "!! $name found a problem; see $work.log"
        tail -n 30 "$work.log"
        return 1
    fi
    echo "== $name for ${seconds}s: $(grep -E '^#[0-9]+.*DONE' "$work.log" | tail -n 1)"
}

status=0
running=0
for target in "$build"/bin/*_fuzz; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    run_target "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done

if [ "$seedsOnly" -eq 0 ]; then
    echo "== executions per target"
    for target in "$build"/bin/*_fuzz; do
        name=$(basename "$target")
        log="$root/fuzz/corpus-work/${name%_fuzz}.log"
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        printf '%-20s %12s\n' "$name" "${runs:-?}"
    done
fi
exit $status
