#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then the core and companion tests of
# a Windows cross build under Wine, and the core tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
jobs=$(nproc)

# Every source in the house style before anything is built; outside a git checkout (an unpacked
# archive), every source below the code folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
else
    find src apps tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSW_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"

# The core and the companion cross-built for Windows, their tests run under Wine.
./scripts/windows-check.sh

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSW_WARNINGS_AS_ERRORS=ON -DSW_SANITIZE=ON -DSW_BUILD_GUI=OFF \
    -DSW_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -L 'core|cli'

./fuzz/smoke.sh
