#!/usr/bin/env bash
# Peak memory of `velmo pack` on a project holding one large file: the package is streamed file by
# file, so the peak should stay far below the file's size (under 100 MiB for 300 MB).
# Usage: bench/pack_memory.sh VELMO-BINARY [SIZE-MB]   (300 MB by default; needs twice that on disk)
set -euo pipefail
velmo=$1
size_mb=${2:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/project"
printf '[movie]\nfile = "movie.swf"\n' > "$work/project/velmo.toml"
printf 'FWS' > "$work/project/movie.swf"
# Half random (incompressible), half text, so that both of deflate's paths are measured.
head -c $((size_mb / 2))M /dev/urandom > "$work/project/random.bin"
(yes 'a line of text that compresses well' || true) | head -c $((size_mb - size_mb / 2))M > "$work/project/text.txt"
/usr/bin/time -v "$velmo" pack "$work/project" -o "$work/app.exe" > "$work/pack.out" 2> "$work/time.out"
peak_kib=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$work/time.out")
seconds=$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.out")
echo "project ${size_mb} MB: peak resident $((peak_kib / 1024)) MiB, $seconds elapsed"
tail -1 "$work/pack.out"
