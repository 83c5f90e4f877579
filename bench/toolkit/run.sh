#!/usr/bin/env bash
# Runs the toolkit benchmarks from a build folder (default build-bench): offscreen layout and
# paint, then first frames of the bare GTK window, the GtkBuilder window and the toolkit
# window, taken in turn so that load from other work falls on all three alike, and prints the
# median of each with the load average (the machine is shared; compare medians only):
#   bash bench/toolkit/run.sh [build-folder] [runs-per-kind, default 15]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
runs=${2:-15}
"$build/bench/toolkit/bench_toolkit_paint" --benchmark_min_time=0.5
skin=$(mktemp -d)
results=$(mktemp)
trap 'rm -rf "$skin" "$skin.zip" "$results"' EXIT
"$build/tests/toolkit/make-test-skin" "$skin"
(cd "$skin" && zip -qr "$skin.zip" .) 2>/dev/null || python3 -c "import shutil,sys; shutil.make_archive(sys.argv[1], 'zip', sys.argv[1])" "$skin"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((i = 0; i < runs; i++)); do
  for kind in bare gtkbuilder toolkit; do
    QV_BENCH_SKIN_ZIP="$skin.zip" xvfb-run -a -s "-screen 0 1280x800x24" \
      "$build/bench/toolkit/bench_toolkit_first_frame" "$kind" 2>/dev/null | sed "s/^/$kind: /" | tee -a "$results"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
median() {  # the median of the numbers on stdin, one a line
  sort -n | awk '{v[NR] = $1} END {if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
for kind in bare gtkbuilder toolkit; do
  ms=$(grep "^$kind: " "$results" | sed -n 's/.*first_frame_ms=\([0-9.]*\).*/\1/p' | median)
  kib=$(grep "^$kind: " "$results" | sed -n 's/.*rss_kib=\([0-9]*\).*/\1/p' | median)
  echo "median $kind: first_frame_ms=$ms rss_kib=$kib"
done
