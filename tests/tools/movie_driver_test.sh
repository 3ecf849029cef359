#!/usr/bin/env bash
# A packed application played with a stand-in movie: the movie's fscommands and external calls
# reach the application's scripts, and the replies the movie gets are the right value documents.
# Usage: movie_driver_test.sh VELMO-BINARY
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"
has() { grep -qF -- "$1" "$work/play.out"; }

project="$work/project"
mkdir -p "$project"
printf 'FWS\001' > "$project/movie.swf"
cat > "$project/init.qvs" <<'QVS'
function greet(who, times) { return { text: 'hello ' + who, times: times + 1, list: [who] }; }
return true;
QVS
printf 'trace("Later ran");' > "$project/later.qvs"
cat > "$project/velmo.toml" <<'TOML'
[application]
identifier = "Velmo/Driven\\V1.0"

[movie]
file = "movie.swf"

[scripts]
Initialize = "init.qvs"
Later = "later.qvs"
TOML
"$velmo" pack "$project" -o "$work/app.exe" > "$work/pack.out" 2>&1 || { echo "FAILED: pack"; cat "$work/pack.out"; exit 1; }

cat > "$work/movie.txt" <<'DRIVER'
# What the movie does once it plays, in order.
fscommand Velmo_Eval trace('eval from the movie: ' + (6 * 7));
flashcall <invoke name="velmo_eval" returntype="xml"><arguments><string>'a&amp;b' + ' &lt;' + 1</string></arguments></invoke>
flashcall <invoke name="greet" returntype="xml"><arguments><string>movie</string><number>2</number></arguments></invoke>
flashcall <invoke name="velmo_run" returntype="xml"><arguments><string>Later</string></arguments></invoke>
fscommand Velmo_AsynRun Later
fscommand quit
fscommand Velmo_Eval trace('after quit');
DRIVER
"$velmo" play "$work/app.exe" --verbose --movie-driver "$work/movie.txt" > "$work/play.out" 2>&1
status=$?
check "the driven run exits 0" test "$status" -eq 0
check "the movie loaded in the stand-in control" has '[movie] Movie := "'
check "Velmo_Eval ran the movie's line of script" has '[trace] eval from the movie: 42'
check "velmo_eval replied with the escaped string" \
    has '[movie] SetReturnValue("<string>a&amp;b &lt;1</string>")'
# An object's properties are written in the order its property list keeps: the newest first.
check "a global function replied with an object document" \
    has '[movie] SetReturnValue("<object><property id=\"list\"><array><property id=\"0\"><string>movie</string></property></array></property><property id=\"times\"><number>3</number></property><property id=\"text\"><string>hello movie</string></property></object>")'
check "velmo_run ran the packed script" has '[trace] Later ran'
check "the queued run ran when idle" test "$(grep -c '^\[trace\] Later ran$' "$work/play.out")" -eq 2
check "quit closed the window" has '[frame] frame destroyed'
check "nothing the movie sent after quit ran" bash -c "! grep -q 'after quit' '$work/play.out'"

printf 'fscommand Velmo_Eval ok\nplay movie.swf\n' > "$work/bad.txt"
"$velmo" play "$work/app.exe" --movie-driver "$work/bad.txt" > "$work/bad.out" 2>&1
check "an unusable driving file exits 1" test $? -eq 1
check "an unusable driving file names its line" grep -q 'bad.txt: line 2: unknown instruction "play"' "$work/bad.out"
"$velmo" play "$work/app.exe" --movie-driver > "$work/usage.out" 2>&1
check "--movie-driver without a file is a usage error" test $? -eq 64

summary
