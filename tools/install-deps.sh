#!/usr/bin/env bash
# Installs the Debian packages a task needs, only when some are missing.
#   install-deps.sh build    compilers, CMake, Ninja and the libraries
#   install-deps.sh test     build, plus GoogleTest and the tools the tests compare against
#   install-deps.sh fuzz     build, plus clang with libFuzzer and the sanitizer runtimes
#   install-deps.sh windows  the mingw-w64 cross compiler and libraries, GoogleTest sources, Boost's
#                            headers (Boost.Regex is compiled for mingw from them), wine and Xvfb
set -euo pipefail

build=(cmake ninja-build g++ make pkg-config zlib1g-dev libgcrypt20-dev libboost-regex-dev)
packages=("${build[@]}")
for task in "$@"; do
    case "$task" in
    build) ;;
    test) packages+=(libgtest-dev googletest icoutils wine64 python3) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
                        libboost-dev xz-utils googletest wine64 xvfb xauth) ;;
    *) echo "install-deps.sh: unknown task '$task'" >&2; exit 64 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
