#!/usr/bin/env bash
# Builds the Debian package of the configurator (program folder in /opt/sw40512, desktop entry and icon)
# in build-package/ and prints its path. Install it with: apt-get install ./build-package/<name>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DSW_BUILD_TESTS=OFF -DSW_BUILD_BENCH=OFF \
    -DSW_INSTALL_DESKTOP_ENTRY=ON >/dev/null
cmake --build build-package --target sw40512 sw40512-cli Ethernet_Update sw_language_assets sw_program_folder
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/sw40512_*.deb
