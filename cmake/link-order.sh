#!/usr/bin/env bash
# Regenerates cmake/link-order.txt, the order in which the Linux release link lays out functions
# (cmake/link_order.cmake, docs/heap.md): the functions an empty script's run needs first, then
# those the allocation-heavy benchmarks run. Run it after large changes to start-up or to the
# interpreter; a stale list costs memory, never correctness.
#   cmake/link-order.sh [BUILD]     BUILD: a release build folder, default build-rel
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-rel}"
command -v valgrind > /dev/null || { echo "link-order.sh: needs valgrind" >&2; exit 1; }
cmake --build "$build" --target velmo
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
: > "$work/empty.qvs"
profiles=()
for script in "$work/empty.qvs" "$root"/bench/programs/{bintrees,maps,pqueue,sorting,strings}.qvs; do
    name="$(basename "$script" .qvs)"
    valgrind --tool=callgrind --demangle=no --callgrind-out-file="$work/$name.cg" \
        "$build/bin/velmo" run "$script" > /dev/null 2> "$work/$name.log"
    profiles+=("$work/$name.cg")
done
python3 "$root/cmake/link_order.py" "$root/cmake/link-order.txt" "${profiles[@]}"
echo "wrote cmake/link-order.txt ($(wc -l < "$root/cmake/link-order.txt") sections)"
