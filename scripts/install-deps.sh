#!/usr/bin/env bash
# Installs the Debian packages the configurator needs to build, run and test; quick when all are present.
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format git qt6-base-dev libpugixml-dev libcurl4-openssl-dev libgtest-dev
          libgmock-dev libbenchmark-dev)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo to add: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
