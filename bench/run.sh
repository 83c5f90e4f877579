#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs every benchmark script under bench/<subsystem>/, each
# given the build folder as its argument.
#   bench/run.sh [name-filter]        e.g. bench/run.sh wan: only the WAN-like download run
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench
for script in bench/*/*.sh; do
  [[ -n ${1:-} && $script != *"$1"* ]] && continue
  echo "== $script"
  bash "$script" build-bench
done
