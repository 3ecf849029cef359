#!/usr/bin/env bash
# Runs the script benchmarks on Velmo and the peer interpreters and prints the comparison table,
# then the native benchmarks when they built, then Velmo alone on a generated straight-line script.
# A wrong result from any engine fails the run.
#   bench/run.sh [RUNS]        RUNS timed runs per program and engine, 3 by default
# Environment: BENCH_BUILD (build folder, default ROOT/build-rel), BENCH_JOBS (parallel compile
# jobs, default 2), BENCH_PROGRAMS (space-separated names to run instead of all; "straightline" is
# the generated straight-line script of straight_line.py).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-3}"
build="${BENCH_BUILD:-$root/build-rel}"
jobs="${BENCH_JOBS:-2}"

if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: bench/run.sh [RUNS]   (RUNS is a positive whole number)" >&2
    exit 64
fi

# The peers and /usr/bin/time, installed only when some are missing.
packages=(lua5.4 duktape mujs nodejs time python3)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
fi

# The native benchmarks are optional: when their part of the tree does not configure, the script
# benchmarks still run on a build without them.
configure() {
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMO_TESTS=OFF "-DVELMO_BENCH=$1" > /dev/null
}
native=1
if ! configure ON; then
    echo "warning: the native benchmarks did not configure; running the script benchmarks only" >&2
    native=0
    configure OFF
fi
cmake --build "$build" --target velmo -j "$jobs"
if [ "$native" -eq 1 ] && ! cmake --build "$build" --target velmo_extract_bench -j "$jobs"; then
    echo "warning: velmo_extract_bench did not build; skipping it" >&2
    native=0
fi

extract=""
if [ "$native" -eq 1 ] && [ -x "$build/bin/velmo_extract_bench" ]; then
    extract="$build/bin/velmo_extract_bench"
fi

# "straightline" is Velmo's alone (straight_line.py generates it); the table takes the rest.
straight=1
table=1
if [ -n "${BENCH_PROGRAMS:-}" ]; then
    straight=0
    others=""
    for p in $BENCH_PROGRAMS; do
        if [ "$p" = straightline ]; then straight=1; else others="$others $p"; fi
    done
    [ -n "$others" ] || table=0
    export BENCH_PROGRAMS="$others"
fi

status=0
if [ "$table" -eq 1 ]; then
    python3 "$root/bench/compare.py" --velmo "$build/bin/velmo" --programs "$root/bench/programs" \
        --runs "$runs" ${extract:+--native "$extract"} || status=$?
fi
if [ "$straight" -eq 1 ]; then
    echo
    python3 "$root/bench/straight_line.py" --velmo "$build/bin/velmo" --runs "$runs" || status=1
fi
exit "$status"
