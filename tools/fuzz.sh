#!/usr/bin/env bash
# Builds the fuzz targets with clang + libFuzzer and runs each for the given number of seconds
# (default 120), starting from its seed corpus. Findings are left in build-fuzz/findings/.
# Every target declared with qv_add_fuzzer runs, whatever its name: configuring lists each one
# with its seed corpus in build-fuzz/fuzz-targets/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh fuzz
seconds=${1:-120}
# A target removed from the build must not linger in the list.
rm -rf build-fuzz/fuzz-targets
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQV_FUZZ=ON -DQV_SANITIZER=asan \
  -DQV_BUILD_TESTS=ON -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=OFF >/dev/null
mapfile -t targets < <(find build-fuzz/fuzz-targets -maxdepth 1 -type f -printf '%f\n' | sort)
if [ "${#targets[@]}" -eq 0 ]; then
  echo "fuzz: no fuzz targets configured" >&2
  exit 1
fi
cmake --build build-fuzz --target "${targets[@]}"
mkdir -p build-fuzz/findings
status=0
for t in "${targets[@]}"; do
  exe=$(find build-fuzz -type f -name "$t" -perm -u+x | head -n1)
  corpus=$(head -n1 "build-fuzz/fuzz-targets/$t")
  work=build-fuzz/corpus/$t; mkdir -p "$work"
  echo "== $t for ${seconds}s"
  # Inputs the fuzzer finds go to the work folder; the seed corpus in the tree is only read.
  if ! "$exe" -max_total_time="$seconds" -timeout=5 -print_final_stats=1 \
      -artifact_prefix=build-fuzz/findings/"$t"- "$work" ${corpus:+"$corpus"} >"build-fuzz/$t.log" 2>&1; then
    status=1
    echo "   FINDING: see build-fuzz/$t.log and build-fuzz/findings/"
  fi
  grep -aE '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )|ERROR:|SUMMARY:' "build-fuzz/$t.log" | sed 's/^/   /' || true
done
exit $status
