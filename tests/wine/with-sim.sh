#!/bin/bash
# with-sim.sh COMn [SIMULATOR OPTIONS] -- COMMAND...
# Serves a simulated radio on a pseudo-terminal, maps Wine's COMn to it,
# runs COMMAND (with ORVEX_TEST_COM=COMn and ORVEX_TEST_DEVICE=the terminal)
# and stops the simulator again. ORVEX_HOST_BUILD names the native build that
# holds orvex-radio-sim.
set -euo pipefail
. "$(dirname "$0")/prefix.sh"
# ORVEX_WINE_COM, when set, takes the place of COMn: runs of one test in
# different environments serve their radios side by side.
com=${ORVEX_WINE_COM:-$1}; shift
sim_args=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do sim_args+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
sim="${ORVEX_HOST_BUILD:?ORVEX_HOST_BUILD must name the native build}/tools/sim/orvex-radio-sim"

orvex_wine_prefix
work=$(mktemp -d)
dosdevice="$WINEPREFIX/dosdevices/$(echo "$com" | tr 'A-Z' 'a-z')"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -f "$dosdevice"
    rm -rf "$work"
}
trap cleanup EXIT
"$sim" --link "$work/radio" "${sim_args[@]}" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -L "$work/radio" ] && break; sleep 0.05; done
[ -L "$work/radio" ] || { cat "$work/sim.out" >&2; echo "the simulator did not start" >&2; exit 1; }
device=$(readlink -f "$work/radio")
ln -sfn "$device" "$dosdevice"
ORVEX_TEST_COM=$com ORVEX_TEST_DEVICE=$device "$@"
