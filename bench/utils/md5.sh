#!/usr/bin/env bash
# MD5 throughput of Utils::FileMd5Hex against `openssl dgst -md5` on the same 1 GiB file, runs
# alternating (the file stays in the page cache, so both measure hashing, not the disk).
#   bench/utils/md5.sh [build-folder] [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
runs=${2:-8}
[[ -x $build/bench/utils/qv_md5_file ]] || {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target qv_md5_file >/dev/null
}
file=$(mktemp -p "${TMPDIR:-/tmp}" md5bench.XXXXXX)
trap 'rm -f "$file"' EXIT
head -c $((1024 * 1024 * 1024)) /dev/urandom >"$file"
cat "$file" >/dev/null

ours=$("$build/bench/utils/qv_md5_file" "$file")
ref=$(openssl dgst -md5 -r "$file" | cut -d' ' -f1)
[[ $ours == "$ref" ]] || { echo "digest mismatch: $ours vs $ref" >&2; exit 1; }

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
a=(); b=()
for ((i = 0; i < runs; i++)); do
  a+=("$(seconds "$build/bench/utils/qv_md5_file" "$file")")
  b+=("$(seconds openssl dgst -md5 "$file")")
done
ma=$(printf '%s\n' "${a[@]}" | median)
mb=$(printf '%s\n' "${b[@]}" | median)
printf 'FileMd5Hex      median %.3f s  (%.0f MiB/s)\n' "$ma" "$(echo "1024 / $ma" | bc -l)"
printf 'openssl dgst    median %.3f s  (%.0f MiB/s)\n' "$mb" "$(echo "1024 / $mb" | bc -l)"
printf 'throughput ratio (ours / openssl): %.3f\n' "$(echo "$mb / $ma" | bc -l)"
