#!/usr/bin/env bash
# The stand-in ActiveX control under wine: registers the control file with regsvr32 (again, if
# tools/test-windows.sh did already: the same file, so nothing changes), checks what the
# registration wrote, then runs the COM tests, which create it both by class id and from a renamed
# copy of the file.
# Usage: standin_control_test.sh CONTROL.DLL TEST.EXE WINEPREFIX
set -u
dll=$1
tests=$2
export WINEPREFIX=$3 WINEDEBUG=-all VELMO_NO_DIALOGS=1
dll_w=$(winepath -w "$dll")
failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
key='HKCR\CLSID\{D27CDB6E-AE6D-11CF-96B8-444553540000}\InProcServer32'
registered() {  # registered NAME VALUE: the server key holds the value NAME (empty: the default) as VALUE
    local query
    if [ -z "$1" ]; then query=$(wine reg query "$key" /ve 2>/dev/null); else query=$(wine reg query "$key" /v "$1" 2>/dev/null); fi
    printf '%s\n' "$query" | tr -d '\r' | grep -qiF -- "$2"
}
check "regsvr32 registers the control" wine regsvr32 /s "$dll_w"
check "its file is the class's server" registered "" "$dll_w"
check "in the apartment threading model" registered ThreadingModel Apartment
VELMO_STANDIN_CONTROL_DLL=$dll_w wine "$tests" 2>&1 | tr -d '\r'
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || { echo "FAILED: the COM tests (status $status)"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ]
