#!/bin/sh
# Builds optimised and runs the benchmarks; prints their figures.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)"
echo "== read and write against the simulator (best of 3)"
./build-release/tools/bench/orvex-bench-transfer --bin build-release/tools --runs 3
echo "== the window: event loop stalls during a read and a band plan 3 write, start-up time, memory"
QT_QPA_PLATFORM=offscreen ./build-release/tools/bench/orvex-bench-gui
