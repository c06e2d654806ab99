#!/usr/bin/env bash
# Runs a cross-built window test under Wine on Qt's offscreen platform and prints its log. Wine hands no
# QT_ variable of the host to a Windows program, so the platform is named on the command line; and what
# the test writes to its standard output does not come through, so its log goes through a file.
# Usage: run_under_wine.sh EMULATOR PROGRAM.exe LOG
set -u
emulator=$1
program=$2
log=$3
rm -f "$log"
"$emulator" "$program" -platform offscreen -o "Z:$log,txt"
status=$?
[ -f "$log" ] && cat "$log"
exit $status
