#!/usr/bin/env bash
# The embedding surface stays real: code outside the script runtime includes only its public
# headers. The runtime's private headers (the interpreter's machine state among them) live in
# script/runtime/internal/; an include of one from the compiler, the library, the host, the shell,
# the platform or the tools fails this check, and so does one from a public runtime header, which
# would pass it on to every embedder. Tests and fuzz targets are white-box and may reach inside.
# Also refuses the operating system's headers outside platform/ (and the future menus/), and the
# Linux desktop's toolkit headers (GTK, GDK, GLib, WebKitGTK, libsoup, cairo) outside
# platform/ui/gtk/. Exit status 1 lists every offending line.
set -euo pipefail
cd "$(dirname "$0")/.."
production=(script/compiler script/library host shell tools)
status=0

report() {  # report DESCRIPTION GREP-OUTPUT
    if [ -n "$2" ]; then
        echo "check-includes: $1:" >&2
        echo "$2" >&2
        status=1
    fi
}

report "private runtime headers included from outside the runtime" \
    "$(grep -rnE '#include[[:space:]]+"script/runtime/internal/' "${production[@]}" platform --include='*.h' --include='*.cpp' --include='*.def' || true)"
report "private runtime headers included from the runtime's public headers" \
    "$(grep -HnE '#include[[:space:]]+"script/runtime/internal/' script/runtime/*.h script/runtime/*.def || true)"
report "operating-system headers outside platform/" \
    "$(grep -rnE '#include[[:space:]]+<(windows|winsock2|ole2|objbase|shlobj|commctrl|unistd|fcntl|dirent|signal|sys/[a-z_]+)\.h>' \
        "${production[@]}" script/runtime --include='*.h' --include='*.cpp' || true)"
report "desktop toolkit headers outside platform/ui/gtk/" \
    "$(grep -rnE '#include[[:space:]]+<(gtk|gdk|glib|gio|webkit2|jsc|libsoup|cairo)[/.-]' \
        "${production[@]}" script/runtime platform --include='*.h' --include='*.cpp' | grep -v '^platform/ui/gtk/' || true)"
exit $status
