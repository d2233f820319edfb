#!/bin/sh
# demo-folders-test.sh DEMO BUILD: the demonstration scripts/run.sh starts
# (here without a display, so it reads the simulated radio and takes the
# window's picture) keeps the simulated radio's backup, and whatever else it
# keeps, out of the user's own folders.
set -u
demo=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
# A user with nothing set but HOME, on no display.
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" \
    "$demo" "$build" "$work/window.png" >"$work/out" 2>&1
status=$?
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ $status -eq 0 ] || fail "the demonstration exits $status"
[ -s "$work/window.png" ] || fail "the demonstration took no picture of the window"
# Where backups, unsaved edits and settings go when nothing else is set.
for folder in .local/share .config; do
    kept=$(cd "$work/home" && find "$folder" -mindepth 1 2>/dev/null | tr '\n' ' ')
    [ -z "$kept" ] || fail "the demonstration left in HOME: $kept"
done
[ $failures -eq 0 ] || { cat "$work/out"; exit 1; }
echo "the demonstration read the simulated radio and kept nothing in HOME"
