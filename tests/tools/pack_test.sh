#!/usr/bin/env bash
# Packing and compiling from inside a project, as users do: packing again into the project folder
# does not pack the previous build (the application stays the same size), hidden files and editor
# back-ups stay out unless [package] brings them back, links are packed only when they point inside
# the project, the manifest and other project files are never overwritten (nor is a half-written
# application left behind), running out of memory is a message, and compile never writes over its
# source. Usage: pack_test.sh VELMO-BINARY SOURCE-ROOT
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

# [package] patterns: include brings back a hidden file and a back-up, exclude leaves out a folder's
# sources; the manifest stays out even when a pattern names it.
cp -r "$root/examples/demo" "$work/patterns"
printf 'x' > "$work/patterns/.htaccess"
printf 'x' > "$work/patterns/data/old.bak"
printf 'x' > "$work/patterns/data/other.bak"
printf '\n[package]\ninclude = [".htaccess", "data/old.bak", "velmo.toml"]\nexclude = ["scripts/*.qvs"]\n' >> "$work/patterns/velmo.toml"
"$velmo" pack "$work/patterns" -o "$work/patterns.exe" > "$work/patterns.out" 2>&1
check "a project with [package] patterns packs" test $? -eq 0
"$velmo" inspect "$work/patterns.exe" > "$work/patterns.list"
check "include brings back a hidden file" grep -q '^  \.htaccess ' "$work/patterns.list"
check "include brings back the back-up it names" grep -q '^  data\\old\.bak ' "$work/patterns.list"
check "other back-ups stay out" bash -c "! grep -q 'other.bak' '$work/patterns.list'"
check "exclude leaves out what it names" bash -c "! grep -q 'initialize.qvs' '$work/patterns.list'"
check "the manifest stays out whatever include says" bash -c "! grep -q 'velmo.toml' '$work/patterns.list'"
check "no progress line when standard error is no terminal" bash -c "! grep -q 'packing:' '$work/patterns.out'"

# Links: one inside the project is packed as what it points at; one leading out of the project, or
# to a folder holding it, refuses the build with its name and writes nothing.
cp -r "$root/examples/demo" "$work/links"
ln -s data/level1.xml "$work/links/level.xml"
ln -s data "$work/links/data-link"
"$velmo" pack "$work/links" -o "$work/links.exe" > /dev/null 2>&1
check "links inside the project are packed" test $? -eq 0
"$velmo" inspect "$work/links.exe" > "$work/links.list"
check "a file link is packed as its file" grep -q '^  level\.xml ' "$work/links.list"
check "a folder link is packed as its folder" grep -q '^  data-link\\level1\.xml ' "$work/links.list"
mkdir -p "$work/outside"
printf 'secret' > "$work/outside/secret.txt"
ln -s "$work/outside/secret.txt" "$work/links/data/secret.txt"
"$velmo" pack "$work/links" -o "$work/out-link.exe" > "$work/out-link.out" 2>&1
check "a link out of the project is refused" test $? -eq 1
check "the refusal names the link" grep -q "refusing to pack the link data/secret.txt: it points outside the project" "$work/out-link.out"
check "nothing is written after a refusal" test ! -e "$work/out-link.exe"
rm "$work/links/data/secret.txt"
ln -s .. "$work/links/data/up"
"$velmo" pack "$work/links" -o "$work/loop.exe" > "$work/loop.out" 2>&1
check "a link to a folder holding it is refused" grep -q "refusing to pack the link data/up: it points" "$work/loop.out"
rm "$work/links/data/up"

# A build that fails half way leaves the previous application as it was, and no temporary file.
cp "$work/links.exe" "$work/keep.exe"
chmod 000 "$work/links/data/level1.xml"
if ! cat "$work/links/data/level1.xml" > /dev/null 2>&1; then  # as root every file stays readable
    "$velmo" pack "$work/links" -o "$work/links.exe" > "$work/unreadable.out" 2>&1
    check "an unreadable file fails the build" test $? -eq 1
    check "the previous application is untouched" cmp -s "$work/links.exe" "$work/keep.exe"
    check "no temporary file is left" test -z "$(ls "$work" | grep velmo-part)"
fi
chmod 644 "$work/links/data/level1.xml"

# Running out of memory is a message and status 1, not an abort: a manifest larger than the
# address space allowed. Skipped where the limit stops the tool from starting at all (sanitizers).
mkdir -p "$work/huge"
printf 'FWS' > "$work/huge/movie.swf"
{ printf '[movie]\nfile = "movie.swf"\n'; head -c 200M /dev/zero | tr '\0' '#'; } > "$work/huge/velmo.toml"
if (ulimit -v 150000; "$velmo" --version > /dev/null 2>&1); then
    (ulimit -v 150000; "$velmo" pack "$work/huge" -o "$work/huge.exe") > "$work/oom.out" 2>&1
    check "running out of memory exits with 1" test $? -eq 1
    check "running out of memory says so" grep -q "velmo: out of memory while packing" "$work/oom.out"
fi

"$velmo" pack "$work/demo" -o "$work/missing/app.exe" > "$work/nowhere.out" 2>&1
check "an output in a missing folder is a build error" test $? -eq 1
check "the error names the application and the system's reason" \
    grep -q "cannot write $work/missing/app.exe: ." "$work/nowhere.out"

# The runtime: the one the command line names, else VELMO_RUNTIME's, else the one beside the tool in
# runtime/; "none" means none. Any PE image serves as a runtime here: an earlier application.
mkdir -p "$work/tool/runtime"
cp "$velmo" "$work/tool/velmo"
cp "$work/demo/app.exe" "$work/tool/runtime/velmo-projector.exe"
(unset VELMO_RUNTIME; "$work/tool/velmo" pack "$work/demo" -o "$work/with-runtime.exe") > "$work/runtime.out" 2>&1
check "pack builds on the runtime beside it by default" grep -q "runtime $work/tool/runtime/velmo-projector.exe with resources" "$work/runtime.out"
(unset VELMO_RUNTIME; "$work/tool/velmo" pack "$work/demo" -o "$work/none.exe" --runtime none) > "$work/none.out" 2>&1
check "--runtime none asks for a resource-only image" grep -q "resource-only image" "$work/none.out"
VELMO_RUNTIME=none "$work/tool/velmo" pack "$work/demo" -o "$work/none.exe" > "$work/env.out" 2>&1
check "VELMO_RUNTIME=none does too" grep -q "resource-only image" "$work/env.out"

summary
