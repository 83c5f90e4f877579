#!/usr/bin/env bash
# The skinned window's benchmarks on Windows, cross-built and run under wine on a virtual
# display (Xvfb, 24-bit):
#   bash bench/windows/run.sh [build-folder, default build-win-bench] [starts per kind, default 15]
# 1. first painted frame and memory: the bare Win32 window, the installer's real main window
#    (built-in skin, ui code: bench_win32_installer), the toolkit window, and three variants of
#    it that split its time (text system started first, opened on the page with the edit
#    field, painted offscreen cold and warm before it is shown), each started anew in turn
#    (so that load from other work falls on all alike), medians;
# 2. CPU over 10 s: the installer window's progress page with its frame animation running
#    (installer-animation) and stopped (installer-idle), a plain layered window of its size
#    presenting only the animation's 200x200 rectangle or one pixel every 30 ms (the floor the
#    system sets: layered-frame, layered-pixel); the toolkit window idle and with its progress
#    bar stepping every 30 ms, and a plain layered window presenting itself whole or only the
#    bar's strip; QV_BENCH_ANIM_RUNS runs each (default 3), medians.
# Prints the load average before and after (the machine is shared: compare medians only).
# To split a start's memory, run one start by hand with QV_BENCH_HEAPS=1 (bytes in use per heap
# after each step) or QV_BENCH_SMAPS='Z:\tmp\x' (wine's Linux memory map after each step; then
# python3 bench/windows/smaps_split.py /tmp/x-zip.smaps /tmp/x-drawn.smaps shows what grew).
# The bench programs build only here, in a folder configured with QV_BUILD_BENCH=ON; set
# QV_BENCH_NO_BUILD=1 to run what is built. Uses the wine prefix QV_WINEPREFIX (default
# ~/.cache/quorvex-windows/wine-bench).
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/../.."
dir=${1:-build-win-bench}
runs=${2:-15}
anim_runs=${QV_BENCH_ANIM_RUNS:-3}
export QV_WINEPREFIX=${QV_WINEPREFIX:-$HOME/.cache/quorvex-windows/wine-bench}

if [[ -z ${QV_BENCH_NO_BUILD:-} ]]; then
  bash tools/build-windows.sh --build-dir "$dir" --host-dir "$dir/host" qv_toolkit_win32 qv_toolkit_testskin qv_ui_windows qv_skin_data
  cmake -S . -B "$dir" -DQV_BUILD_BENCH=ON >/dev/null
  cmake --build "$dir" -j "${QV_BUILD_JOBS:-2}" --target bench_win32_first_frame bench_win32_animation \
    bench_win32_installer
fi
if [[ -z ${DISPLAY:-} ]]; then
  QV_BENCH_NO_BUILD=1 exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$script" "$dir" "$runs"
fi

source tools/windows/wine-env.sh
qv_wine_start
work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
first_frame=$dir/bench/windows/bench_win32_first_frame.exe
animation=$dir/bench/windows/bench_win32_animation.exe
installer=$dir/bench/windows/bench_win32_installer.exe
wine "$first_frame" skin "$(winepath -w "$work/skin.zip")" >/dev/null
export QV_BENCH_SKIN_ZIP
QV_BENCH_SKIN_ZIP=$(winepath -w "$work/skin.zip")
results=$work/results

# One start; a start that prints no result (wine runs a program it cannot load as a silent
# success) is reported and left out of the medians.
start() {
  local kind=$1 line
  shift
  if line=$("$@" 2>"$work/stderr") && [[ $line == *=* ]]; then
    echo "$kind: $line" | tee -a "$results"
  else
    echo "$kind: failed: $(tail -3 "$work/stderr")" >&2
  fi
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
kinds=(bare installer toolkit toolkit-fonts-first toolkit-edit-page toolkit-split-paint)
for ((i = 0; i < runs; i++)); do
  # Each round in a new random order: what a process leaves behind as it ends (in wine's server
  # and desktop, in the X server) falls on the next start, whichever kind that is.
  mapfile -t order < <(printf '%s\n' "${kinds[@]}" | shuf)
  for kind in "${order[@]}"; do
    # Wine's server and desktop finish the last process's windows after it has exited; a start
    # right behind it pays for that (150-200 ms here), so each start waits a little.
    sleep 1
    case $kind in
      bare) start bare wine "$first_frame" bare ;;
      installer) start installer wine "$installer" installer ;;
      toolkit) start toolkit wine "$first_frame" toolkit ;;
      toolkit-fonts-first) start "$kind" env QV_BENCH_FONTS_FIRST=1 wine "$first_frame" toolkit ;;
      toolkit-edit-page) start "$kind" env QV_BENCH_PAGE=1 wine "$first_frame" toolkit ;;
      toolkit-split-paint) start "$kind" env QV_BENCH_SPLIT_PAINT=1 wine "$first_frame" toolkit ;;
    esac
  done
done
for ((i = 0; i < anim_runs; i++)); do
  for kind in animation progress-idle layered-frame layered-pixel; do
    start "installer-${kind/progress-/}" wine "$installer" "$kind"
  done
  for kind in idle animation layered-whole layered-dirty; do
    start "$kind" wine "$animation" "$kind"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 bench/windows/summarize.py <"$results"
