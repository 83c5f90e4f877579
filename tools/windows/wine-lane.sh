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
# Every Windows program run here writes before it can fail (a GoogleTest program its banner, the
# drawing program a line on each path). One that ends with an error having written nothing never
# reached its own code: wine failed to start it, which happens once in some hundred starts on a
# loaded machine (exit 1, nothing on either stream, wine's own messages being off). Such a start is
# tried once more, and said so on standard error; a program that fails on its own is never retried.
out=$(mktemp -t quorvex-lane-out.XXXXXX)
err=$(mktemp -t quorvex-lane-err.XXXXXX)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
  # The copies stream as the program writes, so a test that times out still shows its output.
  set +e
  { "${QV_WINE_LOADER:-wine}" "$@" 2>&3 3>&- | tee "$out"; status=${PIPESTATUS[0]}; } 3> >(tee "$err" >&2)
  set -e
  wait "$!"
  if (( status == 0 || attempt == 2 )) || [[ -s $out || -s $err ]]; then
    exit "$status"
  fi
  echo "wine-lane: $1 ended with $status before writing anything (wine did not start it); starting it again" >&2
done
