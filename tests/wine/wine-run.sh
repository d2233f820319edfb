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
# Wine's own notices are filtered out of stderr. A pipeline, not a process
# substitution: the filter must be done writing before this script returns,
# or a caller reading the program's stderr right away may miss its end.
exec 3>&1
set +e
wine "$@" 2>&1 1>&3 3>&- | orvex_wine_quiet 3>&-
exit "${PIPESTATUS[0]}"
