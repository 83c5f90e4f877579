#!/usr/bin/env bash
# The Windows build's test emulator: runs a Windows program under wine in the lane ctest gave its
# test (tools/windows/test.sh makes the lanes: a wine prefix and an X display each), or, with
# --native, a build-machine program that starts Windows programs itself (the end-to-end drivers)
# with that lane's settings. Outside a lane (build-time test discovery, a plain ctest run) the
# caller's own wine settings stand.
#   wine-lane.sh [--native] PROGRAM [ARGUMENTS...]
set -euo pipefail
# ctest names the lane as "id:N,slots:1".
lane=${CTEST_RESOURCE_GROUP_0_LANE:-}
if [[ -n $lane && -n ${QV_WINE_LANES_DIR:-} ]]; then
  id=${lane#id:}
  id=${id%%,*}
  while IFS='=' read -r name value; do
    case "$name" in
      WINEPREFIX | DISPLAY) export "$name=$value" ;;
    esac
  done <"$QV_WINE_LANES_DIR/lane-$id.env"
  # The lanes' displays take no authority file.
  unset XAUTHORITY
fi
if [[ ${1:-} == --native ]]; then
  shift
  exec "$@"
fi
exec wine "$@"
