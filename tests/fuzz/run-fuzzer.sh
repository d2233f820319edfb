#!/bin/sh
# run-fuzzer.sh FUZZER SEEDS WORK SECONDS: runs a fuzz target for a bounded
# time on a copy of its seed corpus, then replays the regression inputs.
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work"
cp "$seeds"/* "$work"/ 2>/dev/null || true
if [ -d "$seeds/../../regressions/$(basename "$seeds")" ]; then
    "$fuzzer" "$seeds/../../regressions/$(basename "$seeds")"/*
fi
exec "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 "$work"
