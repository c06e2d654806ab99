#!/usr/bin/env bash
# Installs what is missing, builds, and starts the configurator in its program folder build/bin, where the
# build has laid out the Demo project; a first start opens it. Without a display it builds the Demo
# project's images with the command-line companion instead and prints where they are.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target sw40512 sw40512-cli Ethernet_Update

if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    demo="$PWD/build/bin/PROJECTS/Demo"
    echo "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the configurator"
    echo "cannot open its window; QT_QPA_PLATFORM=offscreen ./run.sh starts it without a screen."
    echo "Building the Demo project's images with the companion instead:"
    ./build/bin/sw40512-cli check "$demo"
    ./build/bin/sw40512-cli build "$demo"
    echo "Decode and check them together with:"
    echo "  build/bin/sw40512-cli dump \"$demo/bin/bank1.bin\" \"$demo/bin/bank2.bin\""
    exit 0
fi
exec ./build/bin/sw40512 "$@"
