#!/usr/bin/env bash
# Runs the Windows build's tests under wine:
#   bash tools/windows/test.sh [--build-dir DIR] [ctest arguments...]
# The wine prefix is made once and kept (QV_WINEPREFIX, default ~/.cache/quorvex-windows/wine);
# its server stays up for the whole run and is stopped at its end.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=build-windows
if [[ ${1:-} == --build-dir ]]; then dir=$2; shift 2; fi
# Window tests need an X display for wine to draw on; without one, the whole run (wine's server
# and desktop included) gets a virtual one, with the 24-bit depth Direct2D needs.
if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" --build-dir "$dir" "$@"
fi

source tools/windows/wine-env.sh
# urlmon keeps a copy of every download in the prefix's URL cache, and the service downloader's
# large-file test alone leaves 2 GiB there: the cache starts empty on every run.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Microsoft/Windows/INetCache
qv_wine_start

# The Windows programs print their own results; a program that exits without running any test
# (a 32-bit exe under a 64-bit wine exits 0 untouched) leaves ctest without its discovered tests
# and fails in discovery, so --no-tests=error closes the last gap.
ctest --test-dir "$dir" --output-on-failure --no-tests=error "$@"
