#!/bin/sh
# Runs every fuzz target for a long time (default 600 s each), prints how
# many inputs each one tried, and fails when any target found a fault.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
seconds=${1:-600}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_FUZZ=ON \
    -DORVEX_SANITIZE="address;undefined" -DORVEX_BUILD_GUI=OFF -DORVEX_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-fuzz --target orvex_tests_fuzz
log=build-fuzz/fuzz-long.log
echo "running each target for $seconds s; the whole output goes to $log"
status=0
ctest --test-dir build-fuzz -L fuzz -V -j "$(nproc 2>/dev/null || echo 2)" >"$log" 2>&1 || status=$?
# The summary is for reading; the verdict is ctest's status.
grep -E "^[0-9]+: (Done|stat::number_of_executed_units)|Test #|==ERROR|tests passed" "$log" || true
if [ "$status" -ne 0 ]; then
    echo "a fuzz target failed (ctest status $status); see $log" >&2
    exit "$status"
fi
