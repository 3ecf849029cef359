# Sourced by the end-to-end tests of the velmo tool: a scratch folder that is also TMP and the
# profile's home (removed on exit), and `check DESCRIPTION COMMAND...` with the closing summary.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMP="$work/tmp" XDG_CONFIG_HOME="$work/config"
mkdir -p "$TMP"
failures=0
checks=0
check() {  # check DESCRIPTION COMMAND...
    checks=$((checks + 1))
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
# Prints the counts; the exit status is 0 only when every check passed.
summary() {
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" -eq 0 ]
}
