#!/usr/bin/env bash
# The Windows check: cross-builds the program, the companion, the stand-in updater and their tests with
# MinGW-w64 against Qt for Windows (built from Debian's sources by build-qt-windows.sh, or taken from its
# cache), runs the tests under Wine, compares the images the Windows companion builds with the native
# ones, then builds the installer, installs it silently into a fresh Wine prefix and tries the installed
# program (installed-check.sh). pugixml comes from Debian's source package, GoogleTest from the sources
# Debian's googletest package installs; both are unpacked or built inside build-windows, and Wine keeps
# its prefixes there too, so nothing outside the build folder and Qt's cache is touched. Builds the native
# companion in build/ for the image comparison when it is missing, unless SW_NATIVE_CLI names a program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
jobs=$(nproc)
mkdir -p "$out/deps"

qt=$(./scripts/build-qt-windows.sh | tail -n 1)
[ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || {
    echo "windows: Qt for Windows was not found in '$qt'" >&2
    exit 1
}

# No Mono or Gecko prompts, and no desktop menu entries in the home folder.
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEARCH=win64
# Wine's server keeps its socket under TMPDIR; the server and the folder go when the check ends.
export TMPDIR=$out/tmp
mkdir -p "$TMPDIR"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$TMPDIR"
}
trap cleanup EXIT
# Programs started under Wine inherit this: no dialog ever waits for a person.
unset DISPLAY WAYLAND_DISPLAY

pugixml=$(find "$out/deps" -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)
if [ -z "$pugixml" ] || [ ! -f "$pugixml/src/pugixml.cpp" ]; then
    echo "windows: unpacking Debian's pugixml sources"
    (cd "$out/deps" && apt-get source -q pugixml >"$out/apt-source.log" 2>&1) || {
        cat "$out/apt-source.log" >&2
        echo "windows: 'apt-get source pugixml' failed; scripts/install-deps.sh adds the deb-src entry it needs" >&2
        exit 1
    }
    pugixml=$(find "$out/deps" -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)
fi

# GoogleTest's sources as Debian's googletest package installs them, unless SW_GTEST_SOURCE names a folder.
gtest=${SW_GTEST_SOURCE:-}
if [ -z "$gtest" ]; then
    # The top of the package's source tree: its shortest CMakeLists.txt.
    gtest=$(dpkg -L googletest 2>/dev/null | grep '/CMakeLists.txt$' | awk '{ print length($0), $0 }' | sort -n |
        head -n 1 | cut -d' ' -f2- | xargs -r dirname)
fi
if [ -z "$gtest" ] || [ ! -f "$gtest/CMakeLists.txt" ]; then
    echo "windows: GoogleTest's sources were not found (Debian package googletest, or set SW_GTEST_SOURCE)" >&2
    exit 1
fi

# Qt's own toolchain file finds Qt for Windows and its host tools, and loads ours for the compiler.
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSW_WARNINGS_AS_ERRORS=ON \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-qt.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DSW_BUILD_BENCH=OFF -DSW_PUGIXML_SOURCE="$pugixml" -DSW_GTEST_SOURCE="$gtest" >/dev/null
cmake --build "$out" -j"$jobs"

# The programs of the build folder find Qt's libraries and the compiler's runtime on Wine's search path
# (Qt's plugins beside its libraries); the installed program finds all of them beside itself.
runtime=$(dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")")
pthread=$(dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")")
export WINEPATH="Z:$qt/bin;Z:$runtime;Z:$pthread"

# The first start of a fresh prefix sets Wine up; it is slow and says much, none of it about our code.
# A prefix that cannot be made twice over is a broken Wine: the Windows tests cannot run, and a check
# that did not run must not pass.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "windows: preparing the Wine prefix"
    started=false
    for attempt in 1 2; do
        if timeout 600 wineboot --init >"$out/wineboot.log" 2>&1 && wineserver -w; then
            started=true
            break
        fi
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    done
    if [ "$started" = false ]; then
        tail -n 20 "$out/wineboot.log" >&2
        echo "windows: *** WINE COULD NOT PREPARE $WINEPREFIX: THE WINDOWS TESTS DID NOT RUN ***" >&2
        exit 1
    fi
fi

# One server for the whole check. Left alone, Wine's server quits a few seconds after its last program
# ends; a test started in that moment finds it gone ("recvmsg: Connection reset by peer") and fails
# without having run. A persistent server, killed when the check ends, closes that window. The first
# program of a server's life also starts Wine's own services; a test started as that first program can
# hang at its exit, so a trivial program goes first.
if ! wineserver -p; then
    echo "windows: *** WINE'S SERVER COULD NOT BE STARTED (IS ONE OF $WINEPREFIX STILL ENDING?): THE WINDOWS TESTS DID NOT RUN ***" >&2
    exit 1
fi
if ! timeout 120 wine cmd.exe /c exit 0 >/dev/null 2>&1; then
    echo "windows: *** WINE COULD NOT START A PROGRAM: THE WINDOWS TESTS DID NOT RUN ***" >&2
    exit 1
fi
# The windows' tests draw on Qt's offscreen platform, which on Windows reads font files from a folder it
# is told through QT_QPA_FONTDIR; Wine hands no QT_ variable of the host over, so the prefix's own
# environment names the folder of the host's sans-serif font.
font=$(fc-match -f '%{file}' sans-serif 2>/dev/null || true)
[ -f "$font" ] || { echo "windows: no sans-serif font was found (fc-match); the windows' tests need one" >&2; exit 1; }
wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /t REG_SZ /d "Z:$(dirname "$font")" /f >/dev/null
echo "windows: running the tests under Wine"
ctest --test-dir "$out" --output-on-failure -j"$jobs" -L 'core|cli|gui'

# The Windows companion builds the same bytes as the native one.
native_cli=${SW_NATIVE_CLI:-$root/build/bin/sw40512-cli}
if [ ! -x "$native_cli" ] && [ -z "${SW_NATIVE_CLI:-}" ]; then
    echo "windows: building the native companion for the image comparison"
    cmake -S . -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build" --target sw40512-cli -j"$jobs"
fi
if [ -x "$native_cli" ]; then
    work=$TMPDIR/images
    compared=0
    # Each access file of the image fixtures with the parameter file is one test project, built with
    # either decimal separator.
    for access in tests/fixtures/image/access_*.xml; do
        name=$(basename "$access" .xml)
        for separator in , .; do
            for side in native windows; do
                mkdir -p "$work/$side/$name"
                rm -rf "$work/$side/$name/bin"
                cp tests/fixtures/image/ParGen.xml "$work/$side/$name/ParGen.xml"
                cp "$access" "$work/$side/$name/IEC_61850_Client.xml"
            done
            "$native_cli" build "$work/native/$name" --decimal-separator "$separator" >/dev/null
            wine "$out/bin/sw40512-cli.exe" build "Z:$work/windows/$name" --decimal-separator "$separator" \
                >/dev/null
            for image in bank1.bin bank2.bin; do
                cmp "$work/native/$name/bin/$image" "$work/windows/$name/bin/$image" || {
                    echo "windows: $name/bin/$image (separator $separator) differs from the native build's" >&2
                    exit 1
                }
            done
            compared=$((compared + 1))
        done
    done
    echo "windows: the images of $compared builds of the test projects are the same bytes as the native build's"
else
    echo "windows: no native companion at $native_cli; the image comparison did not run" >&2
    exit 1
fi

# The installer, installed and tried as a user receives it.
(cd "$out" && cpack -G NSIS >"$out/cpack.log" 2>&1) || {
    tail -n 40 "$out/cpack.log" >&2
    echo "windows: the installer could not be built" >&2
    exit 1
}
./scripts/installed-check.sh "$(ls "$out"/sw40512-*-win64.exe)" "$native_cli"
