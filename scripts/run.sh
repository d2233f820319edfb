#!/bin/sh
# Installs what is needed, builds, and starts the application against the
# radio simulator, so no hardware is needed. Without a display it runs on a
# virtual one, reads the simulated radio and saves a picture of the window.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"

work=$(mktemp -d /tmp/orvex-run-XXXXXX)
./build/tools/sim/orvex-radio-sim --link "$work/radio" --save "$work/radio.kvx" >/dev/null &
sim=$!
# The simulator saves its memory as it ends: let it finish before its folder goes.
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$work"' EXIT INT TERM
while [ ! -e "$work/radio" ]; do sleep 0.1; done
# COM1 is the simulator, and it is the remembered port: the window opens on it.
export ORVEX_PORT_MAP="COM1=$work/radio"
export ORVEX_PORT_FILE="$work/ORVEX.CFG"
echo "Simulated radio on $work/radio (COM1). For a real cable: unset ORVEX_PORT_MAP and use Select Port > Auto Search."

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    ./build/app/orvex
else
    shot=${1:-orvex-window.png}
    echo "No display: running on a virtual screen, reading the simulated radio, saving $shot"
    xvfb-run -a ./build/tools/shot/orvex-window-shot "$shot"
fi
