# Sourced by the scripts that build third-party libraries for mingw from Debian's source packages.
# fetch_debian_source PACKAGE CACHE: downloads PACKAGE's source package into CACHE/source unless its
# original tarball is there already. The system's apt sources are left alone: a scratch apt
# configuration under CACHE/apt lists only the deb-src entry this needs.
fetch_debian_source() {
    local package=$1 cache=$2
    compgen -G "$cache/source/${package}_*.orig.tar.*" > /dev/null && return 0
    mkdir -p "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial" "$cache/apt/sources.list.d" "$cache/source"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
        > "$cache/apt/sources.list"
    local apt_options=(
        -o "Dir::Etc::SourceList=$cache/apt/sources.list"
        -o "Dir::Etc::SourceParts=$cache/apt/sources.list.d"
        -o "Dir::State::Lists=$cache/apt/lists"
        -o "Dir::Cache=$cache/apt/cache"
        # The cache belongs to whoever runs the build; apt's download user may not be able to write it.
        -o "APT::Sandbox::User=$(id -un)"
    )
    echo "downloading the $package source package into $cache/source"
    apt-get "${apt_options[@]}" -qq update
    (cd "$cache/source" && apt-get "${apt_options[@]}" -qq source --download-only "$package" > /dev/null)
}
