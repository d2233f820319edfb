#!/bin/bash
# Runs a Windows program under Wine in the project's own Wine prefix, made on
# first use. CTest starts every Windows test program through this script.
set -euo pipefail
: "${ORVEX_WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/orvex/wineprefix}"
export WINEPREFIX="$ORVEX_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
