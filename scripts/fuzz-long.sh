#!/bin/sh
# Runs every fuzz target for a long time (default 600 s each) and prints
# how many inputs each one tried.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
seconds=${1:-600}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_FUZZ=ON \
    -DORVEX_SANITIZE="address;undefined" -DORVEX_BUILD_GUI=OFF -DORVEX_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-fuzz --target fuzz_kvx_open fuzz_port_file fuzz_engine fuzz_paste
ctest --test-dir build-fuzz -L fuzz -V -j "$(nproc 2>/dev/null || echo 2)" | grep -E "^[0-9]+: (Done|stat::number_of_executed_units)|Test #|==ERROR"
