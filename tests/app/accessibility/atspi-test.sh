#!/bin/sh
# atspi-test.sh ORVEX SIM CLI MEMORY.kvx: the window as a screen reader
# reads it. On a virtual screen with a D-Bus session and an accessibility
# bus of its own, the window (on the X11 platform, the one that talks to
# the bus) reads a simulated radio holding MEMORY.kvx; read-window.py then
# walks the accessible tree and drives the keyboard.
set -eu
[ $# -eq 4 ] || { echo "usage: atspi-test.sh ORVEX SIM CLI MEMORY.kvx" >&2; exit 2; }
if [ -z "${ORVEX_A11Y_SESSION:-}" ]; then
    ORVEX_A11Y_SESSION=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$0" "$@"
fi
orvex=$1 sim=$2 cli=$3 memory=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/orvex-a11y-XXXXXX)
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT INT TERM
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# Switched on the way a desktop does when a screen reader starts.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null

"$cli" export "$memory" --csv -o "$work/expected.csv"
"$sim" --memory "$memory" --link "$work/radio" >/dev/null &
pids="$pids $!"
tries=0
while [ ! -e "$work/radio" ]; do
    tries=$((tries + 1))
    [ $tries -le 300 ] || { echo "the simulator made no port in 30 s" >&2; exit 1; }
    sleep 0.1
done

ORVEX_PORT_MAP="COM1=$work/radio" ORVEX_PORT_FILE="$work/ORVEX.CFG" \
    QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$orvex" 2>"$work/orvex.log" &
pids="$pids $!"
# Debian's Python, which has the bindings of the accessibility library.
status=0
/usr/bin/python3 "$here/read-window.py" "$work/expected.csv" || status=$?
[ $status -eq 0 ] || cat "$work/orvex.log" >&2
exit $status
