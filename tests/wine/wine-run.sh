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
exec wine "$@" 2> >(orvex_wine_quiet)
