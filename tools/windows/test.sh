#!/usr/bin/env bash
# Runs the Windows build's tests under wine:
#   bash tools/windows/test.sh [--build-dir DIR] [ctest arguments...]
# The wine prefix is made once and kept (QV_WINEPREFIX, default ~/.cache/quorvex-windows/wine);
# its server stays up for the whole run, so each test program starts in a fraction of a second.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=build-windows
if [[ ${1:-} == --build-dir ]]; then dir=$2; shift 2; fi

export WINEPREFIX=${QV_WINEPREFIX:-$HOME/.cache/quorvex-windows/wine}
export WINEDEBUG=-all
# No .NET or Gecko prompts; no Linux menu entries for the shortcuts the sample package writes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# Tests make their own folders: in wine's temporary folder for Windows programs, in /tmp for the
# native driver of the end-to-end tests.
unset QV_TEST_ROOT
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
fi
# Settings of the prefix; bump the marker's number when they change.
ready=$WINEPREFIX/.quorvex-settings-1
if [[ ! -f $ready ]]; then
  # A crashing test program ends instead of waiting in wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  touch "$ready"
fi
# The server outlives each program and ends by itself a minute after the last one (never killed
# here: another run may share the prefix).
wineserver -p60 2>/dev/null || true

# The Windows programs print their own results; a program that exits without running any test
# (a 32-bit exe under a 64-bit wine exits 0 untouched) leaves ctest without its discovered tests
# and fails in discovery, so --no-tests=error closes the last gap.
ctest --test-dir "$dir" --output-on-failure --no-tests=error "$@"
