#!/usr/bin/env bash
# Configures and builds the native release tree, the one tree of optimised Linux programs:
#   bash tools/build-release.sh [--build-dir DIR] [--windows-dir DIR] [--for-windows] [targets...]
# It holds the installer as it ships (tools/test.sh holds it to its size budget), the skin's
# drawn images (the sanitizer trees take them from here instead of drawing them again), the
# development programs and, with --for-windows, what the Windows build needs from the build
# machine: the skin package and icon, the Linux drawing of the windows that the Windows one is
# compared with, and the native drivers that run the Windows installer under wine (they find it
# in the Windows build folder, --windows-dir, default build-windows). DIR defaults to
# build-release; without targets the installer and the skin's images are built.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries are keyed by paths relative to the tree, so a fresh clone of the same
# sources (CI) reuses what an earlier build on this machine compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
root=$PWD
dir=build-release
windows=build-windows
for_windows=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --build-dir) dir=$2; shift 2 ;;
    --windows-dir) windows=$2; shift 2 ;;
    --for-windows) for_windows=1; shift ;;
    *) break ;;
  esac
done
[[ $dir = /* ]] || dir=$root/$dir
[[ $windows = /* ]] || windows=$root/$windows

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Analytics from the programs under test go to a closed local port, never to the vendor's host.
# The skin's drawings are kept beside the compiler cache for later builds of the same program.
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -UQV_SUBSYSTEMS \
  -DQV_SANITIZER= -DQV_SKIN_ART_FROM= -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON -DQV_BUILD_TESTS=ON \
  -DQV_SKIN_ART_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/quorvex-skin-art" \
  -DQV_COLLECT_HOST=http://127.0.0.1:9 \
  -DQV_WINDOWS_INSTALLER="$windows/app/quorvex-installer.exe" \
  -DQV_WINDOWS_SAMPLE_PACKAGE="$windows/tools/sample-package/Quorvex_setup.exe" >/dev/null

targets=("$@")
if [[ $for_windows == 1 ]]; then
  targets+=(qv_skin_zip qv_toolkit_skin_render qv_render_compare)
  # Not a pipe into grep -q: grep leaves at the first match, ninja dies of SIGPIPE, and pipefail
  # would drop the driver from the build (its test then shows as not run).
  all=$(ninja -C "$dir" -t targets all)
  for driver in qv_wine_unattended_tests qv_wine_window_tests qv_wine_proxy_tests; do
    if grep -q "^$driver:" <<<"$all"; then
      targets+=("$driver")
    fi
  done
fi
[[ ${#targets[@]} -gt 0 ]] || targets=(quorvex-installer qv_skin_zip qv_skin_reference)
cmake --build "$dir" -j "${QV_BUILD_JOBS:-$(nproc)}" --target "${targets[@]}"
