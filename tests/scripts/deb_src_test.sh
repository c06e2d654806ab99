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
URIs: http://archive.example.org/debian
Suites: stable stable-updates
Components: main
Signed-By: /usr/share/keyrings/example.gpg

Types: deb-src
URIs: http://archive.example.org/already-sources
Suites: stable
Components: main
SOURCES
printf 'Types: deb\nURIs: http://other.example.org/x\nSuites: s\nComponents: c\n' >"$apt/sources.list.d/off.sources.disabled"
printf 'deb [signed-by=/k.gpg] http://lines.example.org/debian stable main\n# deb http://commented.example.org s c\ndeb-src http://lines.example.org/debian stable main\n' \
    >"$apt/sources.list"
printf 'deb http://more.example.org/debian stable contrib\n' >"$apt/sources.list.d/more.list"

expected=$(cat <<'EXPECTED'
Types: deb-src
URIs: http://archive.example.org/debian
Suites: stable stable-updates
Components: main
Signed-By: /usr/share/keyrings/example.gpg

--
deb-src [signed-by=/k.gpg] http://lines.example.org/debian stable main
deb-src http://more.example.org/debian stable contrib
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
