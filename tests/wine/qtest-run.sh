#!/bin/bash
# Runs a Qt Test program under Wine: the offscreen platform is given as an
# argument (variables whose names start with QT_ do not reach a Windows
# program), and the report goes to a file, printed afterwards (without a
# console Qt Test writes to the debugger channel).
set -uo pipefail
here=$(dirname "$0")
program=$1
shift
report=$(mktemp)
trap 'rm -f "$report"' EXIT
"$here/wine-run.sh" "$program" -platform offscreen -o "Z:$(printf '%s' "$report" | tr / '\\'),txt" "$@"
status=$?
cat "$report"
exit $status
