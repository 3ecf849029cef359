#!/usr/bin/env bash
# Builds libffi for the mingw-w64 target: Debian ships no mingw build of it, so the sources come
# from Debian's libffi source package (the version libffi-dev has) and are configured as a static
# library for x86_64-w64-mingw32. Usage: build-libffi-mingw.sh [CACHE] (default
# build-win/libffi). The result, CACHE/lib/libffi.a with CACHE/include/ffi.h, is kept: a second run
# with it present does nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$(realpath -m "${1:-$root/build-win/libffi}")
archive="$cache/lib/libffi.a"
[ -f "$archive" ] && [ -f "$cache/include/ffi.h" ] && exit 0

host=x86_64-w64-mingw32
for tool in "$host-gcc-posix" "$host-ar" apt-get make tar; do
    command -v "$tool" > /dev/null || { echo "build-libffi-mingw.sh: $tool is missing (tools/install-deps.sh windows)" >&2; exit 1; }
done

source "$root/tools/debian-source.sh"
fetch_debian_source libffi "$cache"

work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
tar -xf "$cache"/source/libffi_*.orig.tar.* -C "$work"
source_dir=$(find "$work" -maxdepth 2 -name configure -printf '%h\n' | head -n 1)
[ -n "$source_dir" ] || { echo "build-libffi-mingw.sh: no configure script in the source package" >&2; exit 1; }

echo "configuring and compiling libffi for mingw-w64"
mkdir -p "$work/build"
# Third-party code: our warning policy does not apply to it. Static only, so that the runtime stays
# one executable; the multi-OS directory would put the archive under lib/../lib64.
(cd "$work/build" &&
    CC="$host-gcc-posix" AR="$host-ar" RANLIB="$host-ranlib" CFLAGS="-O2 -w" \
        "$source_dir/configure" --host="$host" --prefix="$work/install" --enable-static --disable-shared \
        --disable-docs --disable-multi-os-directory > "$work/configure.log" 2>&1 ||
    { tail -n 40 "$work/configure.log" >&2; exit 1; })
make -C "$work/build" -j"$(nproc)" > "$work/make.log" 2>&1 || { tail -n 40 "$work/make.log" >&2; exit 1; }
make -C "$work/build" install > /dev/null 2>&1
mkdir -p "$cache/lib" "$cache/include"
cp "$work"/install/include/*.h "$cache/include/"
mv "$work/install/lib/libffi.a" "$archive"
echo "wrote $archive"
