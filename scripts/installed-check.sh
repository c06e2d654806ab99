#!/usr/bin/env bash
# Tries the Windows installer as a user receives it, under Wine in a fresh prefix of its own:
#  - installs it silently and lists what it installed (sizes, the Start menu entry);
#  - starts the installed program on a virtual X screen, drawn by Qt's Windows platform plugin, waits for
#    its main window (the Demo project is the first one it opens), keeps a picture of it
#    (build-windows/installed/main-window.xwd, made into docs/screenshots by scripts/screenshots.sh),
#    checks that it loaded every library the installer brought, and closes it as its close button does;
#  - has the installed companion build the Demo's images, which must be the native build's bytes;
#  - uninstalls it and checks that the programs went and the user's projects and settings stayed.
# Usage: installed-check.sh INSTALLER.exe NATIVE_CLI
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine takes its display when its prefix starts, so the whole check runs on the virtual screen.
if [ -z "${SW_INSTALLED_CHECK_SCREEN:-}" ]; then
    export SW_INSTALLED_CHECK_SCREEN=1
    exec xvfb-run --auto-servernum --server-args="-screen 0 1280x960x24" "$0" "$@"
fi
root=$PWD
installer=$(realpath "$1")
native_cli=$(realpath "$2")
out=$root/build-windows/installed
rm -rf "$out"
mkdir -p "$out/tmp"

export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEARCH=win64
export TMPDIR=$out/tmp
# Nothing of the build folder's set-up: the installed program must find everything beside itself.
unset WAYLAND_DISPLAY WINEPATH
cleanup() {
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
fail() {
    echo "installed: *** $* ***" >&2
    exit 1
}

echo "installed: preparing a fresh Wine prefix"
timeout 600 wineboot --init >"$out/wineboot.log" 2>&1 && wineserver -w ||
    { tail -n 20 "$out/wineboot.log" >&2; fail "WINE COULD NOT PREPARE $WINEPREFIX: THE INSTALLER WAS NOT TRIED"; }
wineserver -p || fail "WINE'S SERVER COULD NOT BE STARTED: THE INSTALLER WAS NOT TRIED"

echo "installed: $(basename "$installer") ($(stat -c %s "$installer") bytes), installing silently"
timeout 300 wine "$installer" /S || fail "the silent installation failed"
folder="$WINEPREFIX/drive_c/Program Files/SW40512"
windows_folder='C:\Program Files\SW40512'
for file in sw40512.exe sw40512-cli.exe Ethernet_Update.exe Uninstall.exe Qt6Core.dll platforms/qwindows.dll \
    LANGUAGE/English.lng LANGUAGE/Italiano.lng MASTER/Sim40512.sim Mendral.xml PROJECTS/Demo/ParGen.xml; do
    [ -f "$folder/$file" ] || fail "the installer did not install $file"
done
echo "installed: the program folder holds"
(cd "$folder" && find . -type f -printf '  %-48P %10s\n' | sort)
entry=$(find "$WINEPREFIX/drive_c" -name 'SW40512 configurator.lnk' | head -n 1)
[ -n "$entry" ] || fail "the installer made no Start menu entry"
echo "installed: Start menu entry ${entry#"$WINEPREFIX/drive_c/"}"

# The installed program on a virtual screen. Wine reports every library it loads; each one the installer
# brought must be among them.
echo "installed: starting the installed program"
title="Brantis - Configurator SW40512"
cat >"$out/session.sh" <<EOF
set -u
WINEDEBUG=+loaddll wine '$windows_folder\\sw40512.exe' >"$out/program.out" 2>"$out/program.log" &
program=\$!
for _ in \$(seq 1 120); do
    xwininfo -root -tree 2>/dev/null | grep -qF '"$title' && break
    kill -0 \$program 2>/dev/null || break
    sleep 0.5
done
xwininfo -root -tree 2>/dev/null | grep -qF '"$title' || { echo "no main window came up" >&2; kill \$program; exit 1; }
sleep 3
window=\$(xwininfo -root -tree | grep -F '"$title' | head -n 1 | awk '{ print \$1 }')
xwd -silent -id "\$window" >"$out/main-window.xwd"
wine taskkill /im sw40512.exe >/dev/null 2>&1
for _ in \$(seq 1 60); do
    kill -0 \$program 2>/dev/null || break
    sleep 0.5
done
if kill -0 \$program 2>/dev/null; then
    echo "the program did not close when asked" >&2
    kill \$program
    exit 1
fi
wait \$program
EOF
status=0
bash "$out/session.sh" || status=$?
[ "$status" -eq 0 ] || { tail -n 20 "$out/program.log" >&2; fail "the installed program failed (status $status)"; }
loaded=$(grep -o 'Loaded L"[^"]*"' "$out/program.log" | tr -d '\r' | sed 's/^Loaded L"//; s/"$//; s/\\\\/\\/g')
while IFS= read -r library; do
    windows_path="$windows_folder\\${library//\//\\}"
    grep -qixF "$windows_path" <<<"$loaded" || fail "the program did not load $library, which the installer brings"
done < <(cd "$folder" && find . -name '*.dll' -printf '%P\n')
echo "installed: the main window came up, the program loaded every library installed and closed when asked"

# The installed companion builds the Demo's images; the native companion builds the Demo as shipped.
wine "$windows_folder\\sw40512-cli.exe" build "$windows_folder\\PROJECTS\\Demo" --decimal-separator . >/dev/null ||
    fail "the installed companion could not build the Demo"
mkdir -p "$out/native"
cp -r assets/demo/PROJECTS/Demo "$out/native/Demo"
"$native_cli" build "$out/native/Demo" --decimal-separator . >/dev/null
for image in bank1.bin bank2.bin; do
    cmp "$out/native/Demo/bin/$image" "$folder/PROJECTS/Demo/bin/$image" ||
        fail "the installed companion's Demo $image differs from the native build's"
done
echo "installed: the installed companion built the Demo's images, the same bytes as the native build's"

# Uninstalling removes the programs and leaves what the user made.
mkdir -p "$folder/PROJECTS/Plant"
echo "<Conf/>" >"$folder/PROJECTS/Plant/ParGen.xml"
# The uninstaller copies itself to the temporary folder and goes on from there, so its end is the moment
# it removed itself.
timeout 300 wine "$windows_folder\\Uninstall.exe" /S || fail "the silent uninstallation failed"
for _ in $(seq 1 120); do
    [ -e "$folder/Uninstall.exe" ] || break
    sleep 0.5
done
[ ! -e "$folder/Uninstall.exe" ] || fail "the uninstaller did not end within a minute"
for file in sw40512.exe sw40512-cli.exe Qt6Core.dll platforms/qwindows.dll LANGUAGE/English.lng; do
    [ ! -e "$folder/$file" ] || fail "the uninstaller left $file"
done
for file in PROJECTS/Plant/ParGen.xml PROJECTS/Demo/ParGen.xml Mendral.xml; do
    [ -f "$folder/$file" ] || fail "the uninstaller removed the user's $file"
done
echo "installed: the uninstaller removed the programs and left the user's projects and settings"
