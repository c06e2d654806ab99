#!/usr/bin/env bash
# Installs the Debian packages the configurator needs to build, run and test, including the MinGW-w64
# cross compiler, Wine, NSIS and a virtual X screen for the Windows check and its installer, and a
# deb-src entry from which the Windows check takes the sources of pugixml and Qt; quick when all are
# present.
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format git qt6-base-dev libpugixml-dev libcurl4-openssl-dev libgtest-dev
          libgmock-dev libbenchmark-dev g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev
          nsis xvfb xauth x11-utils x11-apps fontconfig fonts-dejavu-core)

# The Windows check unpacks Debian's pugixml sources; the machine's own list may hold binary entries only.
apt_dir=${SW_APT_DIR:-/etc/apt}
source_list=$apt_dir/sources.list.d/sw40512-deb-src.sources
source_lines=$apt_dir/sources.list.d/sw40512-deb-src.list

# Prints source entries for the machine's binary ones: each deb822 stanza whose Types holds "deb" with
# Types set to deb-src, then (after a line "--") each one-line "deb" entry as "deb-src". The archives
# are the machine's own; none is named here.
derive_source_entries() {
    local dir=$1 file
    for file in "$dir"/sources.list.d/*.sources; do
        [ -f "$file" ] && [ "$file" != "$dir/sources.list.d/sw40512-deb-src.sources" ] || continue
        awk 'function flush() { if (binary && text != "") printf "%s\n", text; text = ""; binary = 0 }
             /^[[:space:]]*$/ { flush(); next }
             /^#/ { next }
             /^Types:/ { if ($0 ~ /[[:space:]]deb([[:space:]]|$)/) binary = 1
                         text = text "Types: deb-src\n"; next }
             /^(URIs|Suites|Components|Signed-By|Architectures):/ { text = text $0 "\n" }
             END { flush() }' "$file"
    done
    echo "--"
    for file in "$dir"/sources.list "$dir"/sources.list.d/*.list; do
        [ -f "$file" ] && [ "$file" != "$dir/sources.list.d/sw40512-deb-src.list" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$file"
    done
}

need_sources=false
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' "$apt_dir"/sources.list "$apt_dir"/sources.list.d/; then
    need_sources=true
fi
if [ "${1:-}" = "--print-source-entries" ]; then
    derive_source_entries "$apt_dir"
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && [ "$need_sources" = false ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo to add: ${missing[*]} (and a deb-src entry)" >&2; exit 1; }
    sudo="sudo"
fi
if [ "$need_sources" = true ]; then
    entries=$(derive_source_entries "$apt_dir")
    stanzas=${entries%%--*}
    lines=${entries#*--}
    if [ -z "${stanzas//[[:space:]]/}" ] && [ -z "${lines//[[:space:]]/}" ]; then
        echo "No binary package source was found in $apt_dir to derive a deb-src entry from; add a deb-src" >&2
        echo "entry for Debian's main archive (the Windows check unpacks Debian's pugixml sources)." >&2
        exit 1
    fi
    if [ -n "${stanzas//[[:space:]]/}" ]; then
        echo "Adding $source_list"
        printf '%s' "$stanzas" | $sudo tee "$source_list" >/dev/null
    fi
    if [ -n "${lines//[[:space:]]/}" ]; then
        echo "Adding $source_lines"
        printf '%s\n' "${lines#$'\n'}" | $sudo tee "$source_lines" >/dev/null
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
