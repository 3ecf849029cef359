#!/usr/bin/env bash
# The options sheet in a played application on the headless desktop: the movie's script sends the
# frame "Config..." (0x8009), a values file answers the sheet, and OK stores the options in the
# profile and applies them to the running window; Cancel, or no values file, changes nothing; a
# restart starts from the stored options; without "Config..." in the menus the command is ignored.
# Usage: options_sheet_play_test.sh VELMO-BINARY SOURCE-ROOT
set -u
velmo=$1
root=$2
source "$(dirname "$0")/checks.sh"
has() { grep -qF -- "$2" "$1"; }

mkdir -p "$work/app"
cp -r "$root/examples/demo/." "$work/app/"
"$velmo" pack "$work/app" -o "$work/app.exe" > /dev/null || { echo "FAILED: pack"; exit 1; }
# WM_SYSCOMMAND (274) with "Config..." (32777), as the system menu sends it; then what the
# scripts' settings objects read.
cat > "$work/movie.txt" <<'TXT'
fscommand Velmo_Eval Application.sendMessage(getMainWnd().handle, 274, 32777, 0);
fscommand Velmo_Eval trace("after: ", Application.Appearance.caption, ", size ", Application.SizeAndPos.windowSize, ", left ", Application.Interaction.lBtnClk, ", on top ", Application.Behaviour.bAlwaysOnTop);
fscommand quit
TXT
profile="$work/config/velmo/velmo#demo%5Cv1.0.profile"
play() {  # play OUTPUT [VALUES-FILE]
    if [ -n "${2:-}" ]; then
        VELMO_OPTIONS_VALUES=$2 "$velmo" play "$work/app.exe" --verbose --movie-driver "$work/movie.txt" > "$1" 2>&1
    else
        "$velmo" play "$work/app.exe" --verbose --movie-driver "$work/movie.txt" > "$1" 2>&1
    fi
}

# No values file: the sheet answers Cancel.
play "$work/none.out"
check "without a values file the run exits 0" test $? -eq 0
check "the sheet shows its five pages" has "$work/none.out" \
    '[frame] options sheet "Options": Appearance, Size and Position, Interaction, Behaviour, Miscellaneous'
check "without a values file the sheet says why it cancels" has "$work/none.out" \
    '[frame] options sheet: no values file (VELMO_OPTIONS_VALUES): Cancel'
check "without a values file nothing changes" has "$work/none.out" '[trace] after: Velmo Demo, size 3, left 0, on top false'
cp "$profile" "$work/profile.before"

# Cancel: the values are set on the sheet but not taken.
printf '1055=Never\n1072=1\nCancel\n' > "$work/cancel.txt"
play "$work/cancel.out" "$work/cancel.txt"
check "Cancel is told" has "$work/cancel.out" '[frame] options sheet: Cancel'
check "Cancel stores nothing" bash -c "! grep -q 'options stored' '$work/cancel.out'"
check "Cancel leaves the settings" has "$work/cancel.out" '[trace] after: Velmo Demo, size 3, left 0, on top false'
check "Cancel leaves the profile as it was" cmp -s "$profile" "$work/profile.before"

# OK, one control (or two that belong together) on each page.
cat > "$work/ok.txt" <<'TXT'
# Appearance: resizable border, a new caption
1047=1
1055=Changed by the user
# Size and Position: half the desktop
1060=1
1063=50
# Interaction: the left button drags the window
1072=1
# Behaviour: always on top
1085=1
# Miscellaneous: mute
1088=1
OK
TXT
play "$work/ok.out" "$work/ok.txt"
check "an OK run exits 0" test $? -eq 0
check "the values file is named" has "$work/ok.out" "[frame] options sheet: values from \"$work/ok.txt\""
check "OK is told" has "$work/ok.out" '[frame] options sheet: OK'
check "OK stores the options" has "$work/ok.out" '[app] options stored in the profile'
check "the profile changed" bash -c "! cmp -s '$profile' '$work/profile.before'"
check "the new look is applied" grep -q \
    '^\[frame\] appearance: shape 0, border 0x100, icons 0x111, scale 0x1, caption "Changed by the user", style 0x4CF0000' \
    "$work/ok.out"
check "the new size is applied: half of 1024 x 768, centred" has "$work/ok.out" \
    '[frame] size: mode 4 640x50, position 4 at 0,0, keep ratio -> window 256,192 512x384'
check "the window flags are applied" has "$work/ok.out" '[frame] window flags: always on top'
check "the menus are rebuilt" test "$(grep -c '^\[frame\] menu commands 0x101$' "$work/ok.out")" -eq 2
check "mute is applied" has "$work/ok.out" '[frame] miscellaneous: flags 0x100, background 0x5F3A1F'
check "the scripts read the new settings" has "$work/ok.out" \
    '[trace] after: Changed by the user, size 4, left 1, on top true'

# A restart starts from what OK stored.
printf 'fscommand quit\n' > "$work/quit.txt"
"$velmo" play "$work/app.exe" --verbose --movie-driver "$work/quit.txt" > "$work/restart.out" 2>&1
check "a restart uses the stored options" has "$work/restart.out" "[app] settings from the user's stored options"
check "a restart has the stored look and size" bash -c \
    "grep -q 'caption \"Changed by the user\"' '$work/restart.out' && grep -q '^\[frame\] size: mode 4 640x50' '$work/restart.out'"

# Without "Config..." in the menus the command does nothing.
sed -i 's/^menu = .*$/menu = ["about"]/' "$work/app/velmo.toml"
sed -i 's|^identifier = .*$|identifier = "Velmo/NoConfig\\\\V1.0"|' "$work/app/velmo.toml"
"$velmo" pack "$work/app" -o "$work/app.exe" > /dev/null || { echo "FAILED: pack without Config"; exit 1; }
play "$work/noconfig.out" "$work/ok.txt"
check "without Config the command is refused" has "$work/noconfig.out" \
    '[frame] command 0x8009: "Config..." is not in the menus'
check "without Config no sheet opens" bash -c "! grep -q 'options sheet' '$work/noconfig.out'"

summary
