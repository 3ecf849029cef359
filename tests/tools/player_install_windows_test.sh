#!/usr/bin/env bash
# The private player under wine: an application shipping a player installer whose cabinet holds the
# stand-in control as an ".ocx" plays with the control taken out of it, unregistered; a damaged
# cabinet falls back to the registered control; with neither, start-up shows the player message
# unless the start-up script vetoes it. Usage: player_install_windows_test.sh VELMO.EXE
# VELMO-PROJECTOR.EXE PLAYER-INSTALLER.EXE DAMAGED-INSTALLER.EXE STANDIN-CONTROL.DLL SOURCE-ROOT WINEPREFIX
set -u
velmo=$1 projector=$2 installer=$3 damaged=$4 control=$5 root=$6
export WINEPREFIX=$7 WINEDEBUG=-all VELMO_NO_DIALOGS=1 VELMO_VERBOSE=1
source "$(dirname "$0")/checks.sh"
case "$work" in *[[:space:]]*) echo "FAILED: the temporary folder $work has a space in its path"; exit 1 ;; esac
# The stand-in is the prefix's registered control; whatever happens here, it is again at the end.
trap 'wine regsvr32 /s "$(winepath -w "$control")" > /dev/null 2>&1; rm -rf "$work"' EXIT

printf 'fscommand quit\n' > "$work/quit.txt"
export VELMO_STANDIN_DRIVER VELMO_STANDIN_RECORD
VELMO_STANDIN_DRIVER=$(winepath -w "$work/quit.txt")
wine_tmp=$(winepath -w "$TMP")

# app NAME INSTALLER [INITIALIZE]: the demo shipping INSTALLER, with another start-up script when
# given, packed with the Windows runtime.
app() {
    local project="$work/$1"
    cp -r "$root/examples/demo" "$project"
    mkdir -p "$project/setup"
    cp "$2" "$project/setup/install_player.exe"
    printf '\n[flash_player]\ninstaller = "setup/install_player.exe"\n' >> "$project/velmo.toml"
    [ -n "${3:-}" ] && printf '%s' "$3" > "$project/scripts/initialize.qvs"
    sed -i "s/^identifier = .*/identifier = \"Velmo\/$1\\\\\\\\V1.0\"/" "$project/velmo.toml"
    wine "$velmo" pack "$project" -o "$work/$1.exe" --runtime "$projector" > "$work/$1.pack" 2>&1 ||
        { echo "FAILED: pack $1"; cat "$work/$1.pack"; exit 1; }
}
# run NAME: runs NAME.exe with TMP in the scratch folder; output in NAME.out, status in $status.
run() {
    VELMO_STANDIN_RECORD=$(winepath -w "$work/$1.record")
    wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$work/$1.exe")" \
        > "$work/$1.out" 2>&1
    status=$?
}

app private "$installer"
run private
check "the application with a player installer runs" test "$status" -eq 0
check "the private player is chosen" grep -q '^\[app\] movie control the private player: ' "$work/private.out"
player=$(sed -n 's/^\[frame\] control from "\(.*\)"\r\{0,1\}$/\1/p' "$work/private.out")
check "the frame makes the control from a temporary file" grep -qiE '^[A-Z]:\\.*[0-9A-F]{4,}[0-9]+\.tmp$' <<< "$player"
player_unix=$(winepath -u "$player" 2> /dev/null)
check "the control file is the cabinet's .ocx" cmp -s "$player_unix" "$control"
check "the control taken out played the movie" grep -q 'fscommand\|FSCommand' "$work/private.record"
check "the cabinet is deleted once expanded" test -z "$(find "$TMP" -maxdepth 1 -name '*.cab')"
check "the run folder is gone" test -z "$(find "$TMP" -maxdepth 1 -name '{*')"

app damaged "$damaged"
run damaged
check "with a damaged cabinet the application still runs" test "$status" -eq 0
check "a damaged cabinet falls back to the registered control" \
    grep -q '^\[app\] movie control the registered control: ' "$work/damaged.out"

wine regsvr32 /u /s "$(winepath -w "$control")" > /dev/null 2>&1
run damaged
check "with no control at all start-up fails" test "$status" -eq 1
check "the player message is shown" grep -q 'Failed to load the Adobe Flash Player!' "$work/damaged.out"

app vetoed "$damaged" "false;"
run vetoed
check "a vetoing start-up script still ends start-up" test "$status" -eq 1
check "a veto keeps the player message back" bash -c "! grep -q 'Failed to load' '$work/vetoed.out'"
summary
