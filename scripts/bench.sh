#!/bin/sh
# Builds optimised and runs the benchmarks; prints their figures.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)"
echo "== read and write against the simulator (best of 3)"
./build-release/tools/bench/orvex-bench-transfer --bin build-release/tools --runs 3
echo "== closing the port in the middle of a burst, over many reopenings under traffic"
./build-release/tools/bench/orvex-bench-port --cycles 1000
echo "== Auto Search: failing over k devices, and a radio on the second device"
./scripts/bench-search.sh build-release/tools
echo "== the window on a display: start-up to exposed and painted, idle and transfer stalls, memory"
if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a ./build-release/tools/bench/orvex-bench-window
else
    QT_QPA_PLATFORM=offscreen ./build-release/tools/bench/orvex-bench-window
fi
