#!/usr/bin/env bash
# Regenerates docs/screenshots/*.png: every window, opened on the demo project, drawn on a virtual X
# screen at the default font. The windows are shown and pictured by the window-texts test program, which
# also fails when any caption of them is cut off; the pictures are then reduced to an 8-bit palette so
# that they stay small in the repository. The picture of the installed Windows program, which the
# Windows check takes under Wine (build-windows/installed/main-window.xwd), joins them when present.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v xvfb-run >/dev/null || need+=(xvfb)
dpkg-query -W -f='${Status}' imagemagick 2>/dev/null | grep -q "install ok installed" || need+=(imagemagick)
dpkg-query -W -f='${Status}' xauth 2>/dev/null | grep -q "install ok installed" || need+=(xauth)
if [ ${#need[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target gui_window_texts_test

raw="$(mktemp -d)"
trap 'rm -rf "$raw"' EXIT
SW_SCREENSHOT_DIR="$raw" QT_QPA_PLATFORM=xcb \
    xvfb-run --auto-servernum --server-args="-screen 0 1600x1000x24" ./build/tests/bin/gui_window_texts_test

windows_picture=build-windows/installed/main-window.xwd
if [ -f "$windows_picture" ]; then
    if command -v magick >/dev/null; then
        magick "xwd:$windows_picture" "$raw/windows_main_window.png"
    else
        convert "xwd:$windows_picture" "$raw/windows_main_window.png"
    fi
fi

mkdir -p docs/screenshots
for picture in "$raw"/*.png; do
    name="$(basename "$picture")"
    # ImageMagick 6 is "convert", 7 is "magick".
    if command -v magick >/dev/null; then
        magick "$picture" -strip +dither -colors 256 "PNG8:docs/screenshots/$name"
    else
        convert "$picture" -strip +dither -colors 256 "PNG8:docs/screenshots/$name"
    fi
    echo "docs/screenshots/$name"
done
