#!/usr/bin/env bash
# Builds the fuzz targets with clang + libFuzzer and runs each for the given number of seconds
# (default 120), starting from its seed corpus. Findings are left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh fuzz
seconds=${1:-120}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQV_FUZZ=ON -DQV_SANITIZER=asan \
  -DQV_BUILD_TESTS=ON -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=OFF >/dev/null
mapfile -t targets < <(ninja -C build-fuzz -t targets all | grep -oE '^qv_fuzz_[a-z0-9_]+:' | tr -d : | sort -u)
cmake --build build-fuzz --target "${targets[@]}"
mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
  exe=$(find build-fuzz -type f -name "$t" -perm -u+x | head -n1)
  corpus=$(find tests -type d -path "*corpus/${t#qv_fuzz_}" | head -n1)
  work=build-fuzz/corpus/$t; mkdir -p "$work"
  echo "== $t for ${seconds}s"
  "$exe" -max_total_time="$seconds" -timeout=5 -artifact_prefix=build-fuzz/findings/"$t"- \
    "$work" ${corpus:+"$corpus"} 2>&1 | tail -n 3
done
