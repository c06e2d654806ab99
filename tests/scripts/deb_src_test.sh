#!/usr/bin/env bash
# The deb-src entries the install script derives come from the machine's own binary entries, in both
# formats apt reads, and from nothing else.
set -euo pipefail
script=$1
apt=$(mktemp -d)
trap 'rm -rf "$apt"' EXIT
mkdir -p "$apt/sources.list.d"
cat >"$apt/sources.list.d/main.sources" <<'SOURCES'
Types: deb
# a comment
URIs: file:/srv/mirror/debian
Suites: stable stable-updates
Components: main
Signed-By: /usr/share/keyrings/example.gpg

Types: deb-src
URIs: file:/srv/mirror/already-sources
Suites: stable
Components: main
SOURCES
printf 'Types: deb\nURIs: file:/srv/other/x\nSuites: s\nComponents: c\n' >"$apt/sources.list.d/off.sources.disabled"
printf 'deb [signed-by=/k.gpg] file:/srv/lines/debian stable main\n# deb file:/srv/commented s c\ndeb-src file:/srv/lines/debian stable main\n' \
    >"$apt/sources.list"
printf 'deb file:/srv/more/debian stable contrib\n' >"$apt/sources.list.d/more.list"

expected=$(cat <<'EXPECTED'
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: stable stable-updates
Components: main
Signed-By: /usr/share/keyrings/example.gpg

--
deb-src [signed-by=/k.gpg] file:/srv/lines/debian stable main
deb-src file:/srv/more/debian stable contrib
EXPECTED
)
actual=$(SW_APT_DIR=$apt bash "$script" --print-source-entries)
if [ "$actual" != "$expected" ]; then
    echo "expected:"; echo "$expected"; echo "actual:"; echo "$actual"
    exit 1
fi

# Without any binary entry the derivation gives nothing, and the script says so instead of guessing.
rm -f "$apt"/sources.list "$apt"/sources.list.d/*
[ "$(SW_APT_DIR=$apt bash "$script" --print-source-entries)" = "--" ]
echo "deb-src derivation ok"
