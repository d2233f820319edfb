#!/bin/sh
# Auto Search timings through orvex-cli against the simulator: a search that
# fails over k serial devices, and a radio on the second device. The
# devices are files named in ORVEX_PORT_MAP (they open as no serial port);
# the machine's own serial devices take part too, as they would for a user.
# Usage: bench-search.sh [TOOLS-DIR]   (default build-release/tools)
set -eu
bin=${1:-build-release/tools}
work=$(mktemp -d)
sim=""
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; [ -n "$sim" ] && wait "$sim" 2>/dev/null; rm -rf "$work"' EXIT INT TERM
now_ms() { date +%s%3N; }
probed() { grep -o "CHECKING : COM[0-9]*" "$1" | sort -u | wc -l; }

for k in 1 3 8; do
    map=""
    i=1
    while [ "$i" -le "$k" ]; do
        : >"$work/dev$i"
        map="${map}COM$i=$work/dev$i,"
        i=$((i + 1))
    done
    start=$(now_ms)
    ORVEX_PORT_MAP="$map" ORVEX_PORT_FILE="$work/cfg" "$bin/cli/orvex-cli" search >/dev/null 2>"$work/err" || true
    took=$(($(now_ms) - start))
    n=$(probed "$work/err")
    echo "failed search over $n devices: $took ms (target $((n * 200 + 1000)) ms)"
done

"$bin/sim/orvex-radio-sim" --link "$work/radio" >/dev/null 2>&1 &
sim=$!
while [ ! -e "$work/radio" ]; do sleep 0.05; done
: >"$work/dev1"
start=$(now_ms)
ORVEX_PORT_MAP="COM1=$work/dev1,COM2=$work/radio" ORVEX_PORT_FILE="$work/cfg" \
    "$bin/cli/orvex-cli" search >"$work/out" 2>"$work/err"
took=$(($(now_ms) - start))
echo "radio on the second device ($(cat "$work/out")): found in $took ms (target 1000 ms)"
