#!/usr/bin/env bash
# Runs the toolkit benchmarks from a build folder (default build-bench): offscreen layout and
# paint, then five first frames each of the bare GTK window, the GtkBuilder window and the
# toolkit window (medians are what to compare; note the load average):
#   bash bench/toolkit/run.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
"$build/bench/toolkit/bench_toolkit_paint" --benchmark_min_time=0.5
skin=$(mktemp -d)
trap 'rm -rf "$skin" "$skin.zip"' EXIT
"$build/tests/toolkit/make-test-skin" "$skin"
(cd "$skin" && zip -qr "$skin.zip" .) 2>/dev/null || python3 -c "import shutil,sys; shutil.make_archive(sys.argv[1], 'zip', sys.argv[1])" "$skin"
for kind in bare gtkbuilder toolkit; do
  for i in 1 2 3 4 5; do
    QV_BENCH_SKIN_ZIP="$skin.zip" xvfb-run -a -s "-screen 0 1280x800x24" \
      "$build/bench/toolkit/bench_toolkit_first_frame" "$kind" | sed "s/^/$kind: /"
  done
done
