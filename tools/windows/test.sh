#!/usr/bin/env bash
# Runs the Windows build's tests under wine, several at a time:
#   bash tools/windows/test.sh [--arch x86_64|i686] [--build-dir DIR] [ctest arguments...]
# (--arch as given to tools/build-windows.sh, default x86_64; DIR defaults to that build's folder).
# Tests run in lanes (QV_WINE_LANES, default two per core, at most 4), one test per lane at a
# time. A lane is a machine of its own as far as a test can tell: its own wine prefix (so its
# own named mutexes, registry and profile folders), its own wine server and desktop, and its own
# X display (focus, pointer and the windows xdotool finds). Tests that take the one name the
# lanes share, the collector's loopback port, hold a ctest lock instead. ctest hands each test a
# lane (resource allocation) and tools/windows/wine-lane.sh, the build's emulator, runs it there.
# The prefixes are made once and kept (the architecture's prefix of tools/windows/wine-env.sh,
# and PREFIX-lane1, -lane2, ... beside it); each run starts their servers and displays afresh
# and stops them at its end.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
arch=x86_64
dir=
while [[ $# -gt 0 ]]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --build-dir) dir=$2; shift 2 ;;
    *) break ;;
  esac
done
source tools/windows/arch.sh
default_dir=$(qv_windows_build_dir "$arch")
: "${dir:=$default_dir}"

export QV_WINDOWS_ARCH=$arch
source tools/windows/wine-env.sh
# urlmon keeps a copy of every download in the prefix's URL cache, and the service downloader's
# large-file test alone leaves 2 GiB there: the cache starts empty on every run.
clear_url_cache() { rm -rf "$1"/drive_c/users/*/AppData/Local/Microsoft/Windows/INetCache; }

cores=$(nproc)
lanes=${QV_WINE_LANES:-$((cores * 2 > 4 ? 4 : cores * 2))}
(( lanes >= 1 )) || lanes=1
work=$(mktemp -d -t quorvex-wine-lanes.XXXXXX)
xvfb_pids=()
prefixes=()
stop_lanes() {
  local p
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
  for p in "${xvfb_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap stop_lanes EXIT

# A display of its own for a lane (in `display`): Xvfb picks a free number and writes it to the
# descriptor it is given. The 24-bit depth is what Direct2D needs.
start_display() {
  local fifo=$work/display-$1 number=
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" </dev/null >/dev/null 2>&1 &
  xvfb_pids+=($!)
  read -r -t 15 number <"$fifo" || true
  [[ -n $number ]] || { echo "windows/test.sh: Xvfb did not start for lane $1" >&2; exit 1; }
  display=:$number
}

# 1. The lanes. A new lane's prefix is a copy of the first one (sourcing wine-env.sh made that
# one; wine's own set-up takes ten seconds, a copy one), taken while no server writes to it.
base=$WINEPREFIX
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
resources='{"version":{"major":1,"minor":0},"local":[{"lane":['
for ((i = 0; i < lanes; ++i)); do
  prefix=$base
  if (( i > 0 )); then
    prefix=$base-lane$i
    if [[ ! -f $prefix/$qv_wine_ready ]]; then
      rm -rf "$prefix"
      cp -a "$base" "$prefix"
    fi
    WINEPREFIX=$prefix qv_wine_prepare
  fi
  clear_url_cache "$prefix"
  start_display "$i"
  prefixes+=("$prefix")
  (export WINEPREFIX=$prefix DISPLAY=$display; unset XAUTHORITY; qv_wine_serve)
  printf 'WINEPREFIX=%s\nDISPLAY=%s\n' "$prefix" "$display" >"$work/lane-$i.env"
  (( i == 0 )) || resources+=','
  resources+="{\"id\":\"$i\",\"slots\":1}"
done
resources+=']}]}'
echo "$resources" >"$work/lanes.json"
export QV_WINE_LANES_DIR=$work

# 2. The tests. The Windows programs print their own results; a program that exits without
# running any test (a 32-bit exe under a 64-bit wine exits 0 untouched) leaves ctest without its
# discovered tests and fails in discovery, so --no-tests=error closes the last gap.
ctest --test-dir "$dir" --output-on-failure --no-tests=error --resource-spec-file "$work/lanes.json" \
  -j "$lanes" "$@"
