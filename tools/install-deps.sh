#!/usr/bin/env bash
# Installs the Debian packages a task needs, only when something is missing.
#   install-deps.sh build    compilers, CMake, Ninja and the libraries (libedit, opened when the
#                            velmo prompt starts, gives it line editing and history; libffi
#                            makes the Dll object's native calls)
#   install-deps.sh test     build, plus GoogleTest and the tools the tests compare against
#   install-deps.sh fuzz     build, plus clang with libFuzzer and the sanitizer runtimes
#   install-deps.sh format   clang-format, for tools/check-format.sh
#   install-deps.sh windows  the mingw-w64 cross compiler and libraries, GoogleTest sources, Boost's
#                            headers (Boost.Regex is compiled for mingw from them; libffi is built
#                            from its source package), wine, Xvfb and the X tools the window
#                            tests read the screen with
#   install-deps.sh desktop  the Linux desktop playback (docs/linux-desktop.md): GTK 3 and WebKitGTK
#                            4.1 for the build, Xvfb, xauth, the X tools, xdotool (the user's input)
#                            and ImageMagick for its
#                            tests, and the web build of the movie player, packed from the npm
#                            registry at its pinned version, checked against its pinned digest and
#                            unpacked into .cache/ruffle-0.6.0 (the build copies it beside the tool)
#
# A task needs commands and files. Each is checked for itself (command -v, test -e) rather than by
# its package's name: a package can be installed without the command a task runs (wine64 alone,
# without recommends, brings no `wine` and no `wineserver`). What is missing is installed from the
# package that provides it, and anything still missing afterwards is named and fails the script.
set -euo pipefail

# Each entry is "KIND:WHAT:PACKAGE": KIND is cmd (a command on the PATH), file (a path that must
# exist) or pkg (a package with nothing to check but its installed state).
build=(cmd:cmake:cmake cmd:ninja:ninja-build cmd:g++:g++ cmd:make:make cmd:pkg-config:pkg-config
       file:/usr/include/zlib.h:zlib1g-dev file:/usr/include/gcrypt.h:libgcrypt20-dev
       file:/usr/include/boost/regex.hpp:libboost-regex-dev pkg:libedit2:libedit2
       file:/usr/include/mspack.h:libmspack-dev pkg:libffi-dev:libffi-dev)
needs=("${build[@]}")
fetchPlayer=0
for task in "$@"; do
    case "$task" in
    build) ;;
    test) needs+=(file:/usr/include/gtest/gtest.h:libgtest-dev file:/usr/src/googletest:googletest
                  cmd:wrestool:icoutils cmd:python3:python3 cmd:openssl:openssl cmd:gcab:gcab cmd:node:nodejs) ;;
    fuzz) needs+=(cmd:clang:clang pkg:libclang-rt-14-dev:libclang-rt-14-dev) ;;
    format) needs+=(cmd:clang-format:clang-format) ;;
    windows) needs+=(cmd:x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix
                     file:/usr/x86_64-w64-mingw32/include/zlib.h:libz-mingw-w64-dev
                     file:/usr/x86_64-w64-mingw32/include/gcrypt.h:libgcrypt-mingw-w64-dev
                     file:/usr/x86_64-w64-mingw32/include/gpg-error.h:libgpg-error-mingw-w64-dev
                     file:/usr/include/boost/version.hpp:libboost-dev cmd:xz:xz-utils
                     file:/usr/src/googletest:googletest
                     cmd:wine:wine cmd:wineserver:wine cmd:wineboot:wine cmd:winepath:wine
                     pkg:wine64:wine64 cmd:xvfb-run:xvfb cmd:xauth:xauth
                     cmd:xwininfo:x11-utils cmd:xwd:x11-apps file:/usr/bin/convert:imagemagick
                     cmd:gcab:gcab) ;;
    desktop) needs+=(file:/usr/include/gtk-3.0/gtk/gtk.h:libgtk-3-dev
                     file:/usr/include/webkitgtk-4.1/webkit2/webkit2.h:libwebkit2gtk-4.1-dev
                     cmd:xvfb-run:xvfb cmd:xauth:xauth cmd:xwd:x11-apps cmd:xwininfo:x11-utils
                     cmd:xdotool:xdotool file:/usr/bin/convert:imagemagick cmd:npm:npm cmd:openssl:openssl
                     cmd:python3:python3)
             fetchPlayer=1 ;;
    *) echo "install-deps.sh: unknown task '$task'" >&2; exit 64 ;;
    esac
done

present() {  # present KIND WHAT PACKAGE
    case "$1" in
    cmd) command -v "$2" > /dev/null 2>&1 ;;
    file) [ -e "$2" ] ;;
    pkg) dpkg-query -W -f='${Status}' "$3" 2>/dev/null | grep -q 'install ok installed' ;;
    esac
}

absent() {  # prints "WHAT (PACKAGE)" for each need not met
    local entry kind what package
    for entry in "${needs[@]}"; do
        IFS=: read -r kind what package <<< "$entry"
        present "$kind" "$what" "$package" || echo "$what ($package)"
    done
}

packages=()
for entry in "${needs[@]}"; do
    IFS=: read -r kind what package <<< "$entry"
    if ! present "$kind" "$what" "$package" && [[ " ${packages[*]-} " != *" $package "* ]]; then
        packages+=("$package")
    fi
done
# The player's files, once per cache folder. The tarball is checked before anything in it is used.
playerVersion=0.6.0
playerIntegrity=sha512-P2X1zDENBoiLt2ZjPcsUzaDxoR7fVF2e1U/bi7hbIAQEjkykxljSoG8AgbywHvlVVzL9Y5tIZMRqDwIm31jgPA==
playerCache="$(cd "$(dirname "$0")/.." && pwd)/.cache"
fetch_player() {
    local folder="$playerCache/ruffle-$playerVersion" work digest
    [ -e "$folder/ruffle.js" ] && return 0
    mkdir -p "$playerCache"
    work=$(mktemp -d "$playerCache/fetch.XXXXXX")
    (cd "$work" && npm pack --silent "@ruffle-rs/ruffle@$playerVersion" > /dev/null)
    digest="sha512-$(openssl dgst -sha512 -binary "$work/ruffle-rs-ruffle-$playerVersion.tgz" | base64 -w0)"
    if [ "$digest" != "$playerIntegrity" ]; then
        echo "install-deps.sh: the player's package does not match its pinned digest" >&2
        rm -rf "$work"
        return 1
    fi
    mkdir -p "$work/unpacked"
    tar -xzf "$work/ruffle-rs-ruffle-$playerVersion.tgz" -C "$work/unpacked" --strip-components=1
    ls "$work/unpacked"/*.wasm > /dev/null
    rm -rf "$folder"
    mv "$work/unpacked" "$folder"
    rm -rf "$work"
    echo "player files: $folder"
}

if [ ${#packages[@]} -eq 0 ]; then
    [ "$fetchPlayer" -eq 1 ] && fetch_player
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${packages[*]}"
# Another installer (an unattended upgrade, a second set-up script) may hold the package lock for
# a while; wait for it rather than fail half-way through a set-up.
lock=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock[@]}" install -y -qq --no-install-recommends "${packages[@]}" > /dev/null

# Installing hashes new commands in no shell but this one's children; check afresh.
hash -r
still=$(absent)
if [ -n "$still" ]; then
    echo "install-deps.sh: still missing after installing: $(echo $still)" >&2
    exit 1
fi
[ "$fetchPlayer" -eq 1 ] && fetch_player
exit 0
