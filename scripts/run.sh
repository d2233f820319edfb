#!/bin/sh
# Installs what is needed, builds the window and the radio simulator (and,
# without a display, the program that takes the window's picture), and
# starts the window against the simulator with scripts/demo.sh, so no
# hardware is needed. The build folder is build/, as scripts/check.sh's,
# with the same build type, so neither rebuilds what the other built.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
targets="orvex orvex-radio-sim"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    targets="$targets orvex-window-shot"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
# shellcheck disable=SC2086
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target $targets
exec ./scripts/demo.sh build "$@"
