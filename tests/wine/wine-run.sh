#!/bin/bash
# Runs a Windows program under Wine in the project's own prefix. CTest starts
# every Windows test program through this script.
set -euo pipefail
. "$(dirname "$0")/prefix.sh"
orvex_wine_prefix
# A library to preload into Wine itself (and nothing else the test starts).
if [ -n "${ORVEX_WINE_PRELOAD:-}" ]; then
    export LD_PRELOAD="$ORVEX_WINE_PRELOAD${LD_PRELOAD:+:$LD_PRELOAD}"
fi
# The program's output goes through files, not pipes: the first program of
# a Wine session starts Wine's services, which inherit its output and live
# as long as the session does, and a pipe they hold open keeps the caller
# (CTest) waiting for them. Wine's own notices are filtered out of stderr.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
set +e
wine "$@" >"$out" 2>"$err"
status=$?
cat "$out"
orvex_wine_quiet <"$err"
exit "$status"
