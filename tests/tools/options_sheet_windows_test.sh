#!/usr/bin/env bash
# The options sheet of the Windows runtime under wine: the real property sheet opens over the frame
# when the movie's script sends "Config..." (0x8009); with VELMO_NO_DIALOGS the values file goes
# into its real controls page by page and the sheet presses OK or Cancel. OK stores the options in
# the registry and applies them to the window; Cancel changes nothing. Leaves a picture of each
# page in ARTIFACTS for a reviewer.
# Usage: options_sheet_windows_test.sh VELMO.EXE VELMO-PROJECTOR.EXE SOURCE-ROOT WINEPREFIX ARTIFACTS
set -u
velmo=$1
projector=$2
root=$3
export WINEPREFIX=$4 WINEDEBUG=-all VELMO_NO_DIALOGS=1
artifacts=$5
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$work" in *[[:space:]]*) echo "FAILED: the temporary folder $work has a space in its path"; exit 1 ;; esac
mkdir -p "$work/tmp" "$work/pictures"
wine_tmp=$(winepath -w "$work/tmp")
passes=0 failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; passes=$((passes + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
has() { grep -qF -- "$2" "$1"; }
settings='HKCU\Software\Velmo\Options\V1.0\Settings'
wine reg delete 'HKCU\Software\Velmo\Options' /f > /dev/null 2>&1

mkdir -p "$work/app"
cp -r "$root/examples/demo/." "$work/app/"
sed -i 's|^identifier = .*$|identifier = "Velmo/Options\\\\V1.0"|' "$work/app/velmo.toml"
wine "$velmo" pack "$work/app" -o "$work/app.exe" --runtime "$projector" > /dev/null || { echo "FAILED: pack"; exit 1; }
cat > "$work/movie.txt" <<'TXT'
fscommand Velmo_Eval Application.sendMessage(getMainWnd().handle, 274, 32777, 0);
fscommand Velmo_Eval trace("after: ", Application.Appearance.caption, ", size ", Application.SizeAndPos.windowSize, ", left ", Application.Interaction.lBtnClk, ", hot key ", Application.Interaction.hotKey, ", on top ", Application.Behaviour.bAlwaysOnTop);
fscommand quit
TXT
run_app() {  # run_app OUTPUT [VALUES-FILE [PICTURES]]: the application's exit status
    local values="" pictures=""
    [ -n "${2:-}" ] && values=$(winepath -w "$2")
    [ -n "${3:-}" ] && pictures=$(winepath -w "$3")
    VELMO_MOVIE_DRIVER=$(winepath -w "$work/movie.txt") VELMO_VERBOSE=1 VELMO_OPTIONS_VALUES=$values \
        VELMO_OPTIONS_PICTURES=$pictures \
        wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$work/app.exe")" \
        > "$1.raw" 2>&1
    local status=$?
    tr -d '\r' < "$1.raw" > "$1"
    return $status
}
options() { wine reg query "$settings" /v Options 2> /dev/null | tr -d '\r' | grep Options; }

# Cancel: values go into the controls, and nothing is taken.
run_app "$work/first.out"
check "a run without a values file exits 0" test $? -eq 0
check "the real sheet opened and cancelled without a values file" has "$work/first.out" \
    '[frame] options sheet: no values file (VELMO_OPTIONS_VALUES): Cancel'
options > "$work/options.before"
check "the profile holds the built-in options" test -s "$work/options.before"
printf '1055=Never\n1072=1\nCancel\n' > "$work/cancel.txt"
run_app "$work/cancel.out" "$work/cancel.txt"
check "a cancelled run exits 0" test $? -eq 0
check "Cancel is told" has "$work/cancel.out" '[frame] options sheet: Cancel'
check "Cancel leaves the settings" has "$work/cancel.out" '[trace] after: Velmo Demo, size 3, left 0, hot key None, on top false'
options > "$work/options.cancel"
check "Cancel leaves the registry as it was" cmp -s "$work/options.before" "$work/options.cancel"

# OK with a value on every page, through every kind of control the file can reach.
cat > "$work/ok.txt" <<'TXT'
1047=1
1055=Changed on Windows
1060=1
1068=50
1072=1
1080=1
1016=0x251
1085=1
1092=#204060
OK
TXT
run_app "$work/ok.out" "$work/ok.txt" "$work/pictures"
check "an OK run exits 0" test $? -eq 0
check "OK is told" has "$work/ok.out" '[frame] options sheet: OK'
check "no value was refused" bash -c "! grep -q 'refuses\|no control' '$work/ok.out'"
check "OK stores the options" has "$work/ok.out" '[app] options stored in the profile'
options > "$work/options.ok"
check "the registry holds the new options" bash -c "! cmp -s '$work/options.before' '$work/options.ok'"
check "the new look is applied to the real window" grep -q \
    '^\[frame\] appearance: shape 0, border 0x100, icons 0x111, scale 0x1, caption "Changed on Windows", style 0x[0-9A-F]*' \
    "$work/ok.out"
check "the new size is applied: half of the 1024 x 768 desktop, centred" has "$work/ok.out" \
    '[frame] size: mode 4 640x50, position 4 at 0,0, keep ratio -> window 256,192 512x384'
check "the window flags are applied" has "$work/ok.out" '[frame] window flags: always on top'
check "the colour went through the colour button" has "$work/ok.out" '[frame] miscellaneous: flags 0x0, background 0x604021'
check "the scripts read what the real controls gave" has "$work/ok.out" \
    '[trace] after: Changed on Windows, size 4, left 1, hot key CTRL+Q, on top true'
for n in 1 2 3 4 5; do
    check "a picture of page $n" test -s "$work/pictures/page-$n.bmp"
    [ -s "$work/pictures/page-$n.bmp" ] && /usr/bin/convert "$work/pictures/page-$n.bmp" "$artifacts/options-page-$n.png" 2> /dev/null
done

# A restart starts from the stored options.
printf 'fscommand quit\n' > "$work/quit.txt"
VELMO_MOVIE_DRIVER=$(winepath -w "$work/quit.txt") VELMO_VERBOSE=1 \
    wine cmd /c "set TMP=$wine_tmp&& set TEMP=$wine_tmp&& start /b /wait $(winepath -w "$work/app.exe")" 2>&1 |
    tr -d '\r' > "$work/restart.out"
check "a restart uses the stored options" has "$work/restart.out" "[app] settings from the user's stored options"
check "a restart has the stored caption" has "$work/restart.out" 'caption "Changed on Windows"'

wine reg delete 'HKCU\Software\Velmo\Options' /f > /dev/null 2>&1
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
