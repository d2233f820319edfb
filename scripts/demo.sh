#!/bin/sh
# demo.sh BUILD [PICTURE]: starts the window of BUILD against the radio
# simulator of BUILD, so no hardware is needed; scripts/run.sh builds them
# and calls it. Without a display it runs on a virtual one, reads the
# simulated radio and saves a picture of the window to PICTURE
# (orvex-window.png).
# Everything the run keeps (the simulated radio's backups, unsaved edits,
# the recent files, the port settings) stays in a folder of its own, removed
# at the end, so nothing of the simulated radio lands among the user's own.
set -eu
[ $# -ge 1 ] || { echo "usage: scripts/demo.sh BUILD [PICTURE]" >&2; exit 2; }
build=$(cd "$1" && pwd)
shot=${2:-orvex-window.png}

work=$(mktemp -d /tmp/orvex-run-XXXXXX)
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
"$build/tools/sim/orvex-radio-sim" --link "$work/radio" --save "$work/radio.kvx" >/dev/null &
sim=$!
# The simulator saves its memory as it ends: let it finish before its folder goes.
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$work"' EXIT INT TERM
while [ ! -e "$work/radio" ]; do
    kill -0 $sim 2>/dev/null || { echo "the radio simulator did not start"; exit 1; }
    sleep 0.1
done
# COM1 is the simulator, and it is the remembered port: the window opens on it.
export ORVEX_PORT_MAP="COM1=$work/radio"
export ORVEX_PORT_FILE="$work/ORVEX.CFG"
echo "Simulated radio on $work/radio (COM1). For a real cable: unset ORVEX_PORT_MAP and use Select Port > Auto Search."
echo "This run's backups, unsaved edits and settings are kept in $work until it ends."

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$build/app/orvex"
else
    echo "No display: running on a virtual screen, reading the simulated radio, saving $shot"
    xvfb-run -a "$build/tools/shot/orvex-window-shot" "$shot"
fi
