#!/usr/bin/env bash
# The installer's window from a build folder (default build-bench):
#   bash bench/ui/windows.sh [build-folder]
# 1. first painted frame and resident memory, five starts each, against a bare GTK window;
# 2. CPU use over 10 s while the progress animation runs;
# 3. a window install of a 100 MiB package against the unattended install, from the same local
#    package server, five runs each.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build-bench}")
bench="$build/bench/ui/windows/bench_ui_windows"
work=$(mktemp -d)
server=
trap '[[ -n $server ]] && kill $server 2>/dev/null; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
xvfb() { xvfb-run -a -s "-screen 0 1280x800x24" "$@" 2>/dev/null; }

for kind in bare installer; do
  for _ in 1 2 3 4 5; do xvfb "$bench" "$kind" | sed "s/^/$kind: /"; done
done
xvfb "$bench" animation

mkdir -p "$work/www"
cp "$build/tools/sample-package/qv-sample-package" "$work/www/Quorvex_setup.exe"
truncate -s 100M "$work/www/Quorvex_setup.exe"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$build/tools/package-server/qv-package-server" "$port" "$work/www" >/dev/null 2>&1 &
server=$!
url="http://127.0.0.1:$port/Quorvex_setup.exe"
for _ in $(seq 50); do curl -fsI "$url" >/dev/null 2>&1 && break; sleep 0.1; done
for i in 1 2 3 4 5; do
  rm -rf "$work/a" "$work/b" "$HOME/.config"
  start=$(date +%s.%N)
  "$build/app/quorvex-installer" -silent -installdir="$work/a" -downloadurl="$url" -isenableappanalytics=false >/dev/null 2>&1 || echo "silent install failed: $?"
  echo "silent_install_s=$(echo "$(date +%s.%N) - $start" | bc)"
  rm -rf "$HOME/.config"
  QV_BENCH_URL="$url" xvfb "$bench" install "$work/b" || echo "window install failed: $?"
done
