#!/bin/sh
# Installs what is needed, builds, and runs the main job.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
out=${1:-sample.kvx}
./build/tools/cli/orvex-cli new "$out"
echo "Created $out:"
./build/tools/cli/orvex-cli show "$out"
