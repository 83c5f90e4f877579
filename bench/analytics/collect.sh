#!/usr/bin/env bash
# Records per second from Sdk::Track through FlushAll to the local test collector (10,000 records),
# against bare libcurl posting the same bodies, and the peak memory. Three runs.
#   bench/analytics/collect.sh [build-folder] [records]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
records=${2:-10000}
[[ -x $build/bench/analytics/qv_bench_collect ]] || {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target qv_bench_collect >/dev/null
}
for run in 1 2 3; do
  echo "-- run $run"
  "$build/bench/analytics/qv_bench_collect" "$records"
done
