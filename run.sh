#!/usr/bin/env bash
# Installs what is missing, builds, and starts the configurator.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target sw40512 sw40512-cli Ethernet_Update
exec ./build/bin/sw40512 "$@"
