#!/usr/bin/env bash
# Installs the Debian packages the configurator needs to build, run and test, including the MinGW-w64
# cross compiler and Wine for the Windows check, and a deb-src entry from which the Windows check
# takes the sources of pugixml; quick when all are present.
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format git qt6-base-dev libpugixml-dev libcurl4-openssl-dev libgtest-dev
          libgmock-dev libbenchmark-dev g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev)

# The Windows check unpacks Debian's pugixml sources; the machine's own list may hold binary entries only.
source_list=/etc/apt/sources.list.d/sw40512-deb-src.sources
need_sources=false
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    need_sources=true
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
    # The same archives and suites as the binary entries, for sources.
    echo "Adding $source_list"
    sed -n 's/^Types:[[:space:]]*deb$/Types: deb-src/;/^\(Types\|URIs\|Suites\|Components\|Signed-By\|\)\(:\|$\)/p' \
        /etc/apt/sources.list.d/debian.sources 2>/dev/null | $sudo tee "$source_list" >/dev/null
    if ! grep -q '^Types: deb-src' "$source_list"; then
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
            $sudo tee "$source_list" >/dev/null
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
