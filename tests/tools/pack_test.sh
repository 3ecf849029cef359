#!/usr/bin/env bash
# Packing and compiling from inside a project, as users do: packing again into the project folder
# does not pack the previous build (the application stays the same size), hidden files and editor
# back-ups stay out, the manifest and other project files are never overwritten, and compile never
# writes over its source. Usage: pack_test.sh VELMO-BINARY SOURCE-ROOT
set -u
velmo=$1
root=$2
source "$(dirname "$0")/checks.sh"

cp -r "$root/examples/demo" "$work/demo"
mkdir -p "$work/demo/.git"
printf 'x' > "$work/demo/.git/config"
printf 'x' > "$work/demo/velmo.toml~"
cd "$work/demo"
"$velmo" pack . -o app.exe > "$work/first.out" 2>&1
check "a first pack into the project folder works" test $? -eq 0
first=$(stat -c %s app.exe)
"$velmo" pack . -o app.exe > "$work/second.out" 2>&1
check "a second pack works" test $? -eq 0
check "the previous build is not packed into the next" test "$(stat -c %s app.exe)" -eq "$first"
check "hidden files and back-ups stay out" grep -q "package  3 files" "$work/second.out"

cp velmo.toml "$work/manifest.before"
"$velmo" pack . -o velmo.toml > "$work/manifest.out" 2>&1
check "packing over the manifest is refused" test $? -eq 1
check "the refusal says why" grep -q "refusing to write velmo.toml: it would overwrite the project's velmo.toml" "$work/manifest.out"
check "the manifest is untouched" cmp -s velmo.toml "$work/manifest.before"
"$velmo" pack . -o movie.swf > /dev/null 2>&1
check "packing over the movie is refused" test $? -eq 1

cp scripts/initialize.qvs "$work/init.before"
"$velmo" compile scripts/initialize.qvs -o ./scripts//initialize.qvs > "$work/compile.out" 2>&1
check "compiling over the source is refused as a bad argument" test $? -eq 64
check "the source is untouched" cmp -s scripts/initialize.qvs "$work/init.before"

summary
