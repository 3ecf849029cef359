#!/usr/bin/env bash
# Shell, Dialogs and MCI in a played application, through the command-line tool: with --verbose the
# headless desktop prints what it was asked as [shell], [dialog] and [mci] lines; a dialog takes
# its answer from the answer file; an MCI notification reaches onNotify through the application's
# message loop, and the generated aliases of two devices differ.
# Usage: shell_dialogs_mci_play_test.sh VELMO-BINARY TONE-WAV
set -u
velmo=$1
source "$(dirname "$0")/checks.sh"

project="$work/objects"
mkdir -p "$project"
printf 'FWS\001' > "$project/movie.swf"
cp "$2" "$work/tone.wav"
printf 'button no\nfile C:\\docs\\picked.txt\n' > "$work/answers.txt"
cat > "$project/init.qvs" <<SCRIPT
trace("box " + Dialogs.msgBox("Quit now?", "Question", 4));
trace("open " + Dialogs.fileOpen("Text|*.txt|All|*.*", "txt", "start"));
Shell.open("$work/readme.txt", "$work", "-v");
var a = new MCI(), b = new MCI();
a.fileName = b.fileName = "$work/tone.wav";
a.notify = true;
a.onNotify = function (code) { trace("notify " + code + " " + (this === a)); };
a.command = "open"; b.command = "open";
trace("aliases " + a.alias + " " + b.alias + " " + a.length);
a.command = "play";
a.command = "stop";
function Later() {
    Application.clearInterval(id);
    processMsg();
    getMainWnd().close();
}
id = Application.setInterval(Later, 10);
true;
SCRIPT
printf '[application]\nidentifier = "Velmo/objects\\\\V1.0"\n\n[movie]\nfile = "movie.swf"\n\n[scripts]\nInitialize = "init.qvs"\n' \
    > "$project/velmo.toml"
"$velmo" pack "$project" -o "$work/objects.exe" > "$work/pack.out" 2>&1 || { echo "FAILED: pack"; cat "$work/pack.out"; exit 1; }
VELMO_DIALOG_ANSWERS="$work/answers.txt" VELMO_SHELL_RECORD_ONLY=1 \
    "$velmo" play "$work/objects.exe" --verbose --timeout 20 > "$work/play.out" 2>&1
status=$?
has() { grep -q -- "$1" "$work/play.out"; }

check "the played application exits 0" test "$status" -eq 0
check "the message box is recorded with its answer" has '^\[dialog\] msgBox "Question" "Quit now?" type 0x4 -> 7$'
check "the script gets the button" has '^\[trace\] box 7$'
check "the file dialog is recorded with its filter" \
    has '^\[dialog\] fileOpen filter "Text|\*.txt|All|\*.\*" ext "txt" name "start" flags 0x880004 -> "C:\\docs\\picked.txt"$'
check "the script gets the path" has '^\[trace\] open C:\\docs\\picked.txt$'
check "the verb is recorded, not carried out" has "^\[shell\] open \"$work/readme.txt\" parameters \"-v\" in \"$work\" -> recorded$"
check "devices get different generated aliases" has '^\[trace\] aliases _Velmo_MCI_0 _Velmo_MCI_1 500$'
check "the open is an mci line" has '^\[mci\] open ".*tone.wav" alias "_Velmo_MCI_0" notify -> 0 "1"$'
check "the stopped play is notified aborted" has '^\[trace\] notify 4 true$'
check "the stop itself is notified successful" has '^\[trace\] notify 1 true$'
[ "$failures" -eq 0 ] || cat "$work/play.out"
summary
