#!/usr/bin/env bash
# Builds Boost.Regex for the mingw-w64 target: Debian ships no mingw build of it, so the regex
# sources come from Debian's boost1.74 source package (the same version as libboost-dev's headers)
# and compile against those headers. Usage: build-boost-regex-mingw.sh [CACHE]
# (default build-win/boost-regex). The result, CACHE/lib/libboost_regex.a, is kept: a second run
# with it present does nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$(realpath -m "${1:-$root/build-win/boost-regex}")
archive="$cache/lib/libboost_regex.a"
[ -f "$archive" ] && exit 0

cxx=x86_64-w64-mingw32-g++-posix
ar=x86_64-w64-mingw32-ar
for tool in "$cxx" "$ar" apt-get xz; do
    command -v "$tool" > /dev/null || { echo "build-boost-regex-mingw.sh: $tool is missing (tools/install-deps.sh windows)" >&2; exit 1; }
done
[ -d /usr/include/boost/regex ] || { echo "build-boost-regex-mingw.sh: libboost-dev is missing" >&2; exit 1; }

source "$root/tools/debian-source.sh"
fetch_debian_source boost1.74 "$cache"

# Only the regex sources and their private header; icu.cpp needs ICU, which the Windows target
# neither has nor needs.
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
tar -xf "$cache"/source/boost1.74_*.orig.tar.* -C "$work" --wildcards --no-anchored 'libs/regex/src/*'
sources=$(find "$work" -path '*/libs/regex/src/*.cpp' ! -name icu.cpp | sort)
[ -n "$sources" ] || { echo "build-boost-regex-mingw.sh: no regex sources in the source package" >&2; exit 1; }

# The cross compiler must see Boost's headers and nothing else of the host's /usr/include.
mkdir -p "$cache/include"
ln -sfn /usr/include/boost "$cache/include/boost"
echo "compiling $(wc -l <<< "$sources") Boost.Regex sources for mingw-w64"
mkdir -p "$work/obj"
# Third-party code: our warning policy does not apply to it.
xargs -P "$(nproc)" -I{} sh -c '"$0" -std=c++17 -O2 -w -DBOOST_REGEX_NO_LIB -DBOOST_ALL_NO_LIB -I"$1" -c "{}" -o "$2/$(basename "{}" .cpp).o"' \
    "$cxx" "$cache/include" "$work/obj" <<< "$sources"
mkdir -p "$cache/lib"
"$ar" rcs "$work/libboost_regex.a" "$work"/obj/*.o
mv "$work/libboost_regex.a" "$archive"
echo "wrote $archive"
