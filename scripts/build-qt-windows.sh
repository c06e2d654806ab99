#!/usr/bin/env bash
# Builds Qt's base module for 64-bit Windows with Debian's MinGW-w64, from Debian's own qt6-base source
# package at the version of the native Qt, with the native Qt's host tools (moc, rcc, uic). Only what the
# configurator loads is built: Core, Gui, Widgets, Test, the Windows and offscreen platform plugins and
# the Windows styles; no examples, tests, SQL, network, OpenGL or D-Bus.
#
# The result goes into a cache folder outside the clone, keyed by the Qt version and these options, and is
# reused when present, so only the first run pays for the build. Prints the install folder on its last line.
#   SW_QT_WINDOWS_CACHE  the cache folder (default: $XDG_CACHE_HOME/sw40512, else ~/.cache/sw40512)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) || {
    echo "qt-windows: the native Qt (qt6-base-dev) is not installed; scripts/install-deps.sh installs it" >&2
    exit 1
}
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=ON -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF
    -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
)
key=$( (echo "$version"; printf '%s\n' "${options[@]}"; cat "$root/cmake/mingw-w64-qt.cmake") | sha256sum | cut -c1-12)
cache=${SW_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sw40512}
prefix=$cache/qt6-base-${version//[^A-Za-z0-9.+-]/_}-mingw-$key

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

work=$cache/work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work"
started=$(date +%s)
echo "qt-windows: building Qt $version for Windows into $prefix (the first time only; about 30 minutes on two cores)" >&2
(cd "$work" && apt-get source -q "qt6-base=$version" >"$work/apt-source.log" 2>&1) || {
    cat "$work/apt-source.log" >&2
    echo "qt-windows: 'apt-get source qt6-base=$version' failed; scripts/install-deps.sh adds the deb-src entry it needs" >&2
    exit 1
}
source=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-qt.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$work/configure.log" 2>&1 || {
    tail -n 40 "$work/configure.log" >&2
    exit 1
}
cmake --build "$work/build" -j"$jobs" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    exit 1
}
cmake --install "$work/build" >"$work/install.log" 2>&1
touch "$prefix/.complete"
rm -rf "$work"
echo "qt-windows: Qt for Windows built in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
