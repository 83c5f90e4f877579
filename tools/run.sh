#!/usr/bin/env bash
# The main job: builds the installer and starts it. Installs the Debian packages it needs first.
#   tools/run.sh [installer options]
# Without options it demonstrates an install from a local package server that serves the sample
# package: with a display the installer's window opens and the product is installed by
# clicking; without one the install runs unattended. Either way it goes into
# $XDG_DATA_HOME/Pelmora (or /opt/Pelmora as root) by default; a second run updates that copy.
# This build sends its analytics to a local collector on 127.0.0.1:18090 (the demo starts one);
# a vendor build sets QV_COLLECT_HOST to its own endpoint.
# It is also built as a vendor build that signs its packages: a key pair is made once
# (build/demo-signing.key, private), its public key is built in (QV_PACKAGE_PUBKEY), and the demo
# signs the sample package, so the installer runs it only after checking "<package URL>.sig".
# A package from another server then needs a .sig made with that key (build/tools/sign/qv-sign).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
cmake -S . -B build -G Ninja -UQV_SUBSYSTEMS -DQV_COLLECT_HOST=http://127.0.0.1:18090 -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON >/dev/null
cmake --build build --target qv-sign
key=build/demo-signing.key
[[ -f $key ]] || build/tools/sign/qv-sign keygen "$key" >/dev/null
cmake -S . -B build -DQV_PACKAGE_PUBKEY="$(build/tools/sign/qv-sign pubkey "$key")" >/dev/null
cmake --build build

if [[ $# -eq 0 ]]; then
  www=$(mktemp -d)
  cp build/tools/sample-package/qv-sample-package "$www/Quorvex_setup.exe"
  build/tools/sign/qv-sign sign "$key" "$www/Quorvex_setup.exe"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  build/tools/package-server/qv-package-server --port "$port" --root "$www" >/dev/null 2>&1 &
  server=$!
  build/tools/collector/qv-test-collector --port 18090 --records "$www/records.jsonl" >/dev/null 2>&1 &
  collector=$!
  trap 'kill $server $collector 2>/dev/null; rm -rf "$www"' EXIT
  for _ in $(seq 50); do
    curl -fsI "http://127.0.0.1:$port/Quorvex_setup.exe" >/dev/null 2>&1 && break
    sleep 0.1
  done
  url="http://127.0.0.1:$port/Quorvex_setup.exe"
  if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    echo "installer window, package from $url (diagnostic trace: quorvex-installer.log)"
    status=0
    build/app/quorvex-installer -downloadurl="$url" 2>quorvex-installer.log || status=$?
  else
    echo "unattended install from $url (diagnostic trace: quorvex-installer.log)"
    status=0
    build/app/quorvex-installer -silent -downloadurl="$url" 2>quorvex-installer.log || status=$?
  fi
  if [[ $status -ne 0 ]]; then tail -n 5 quorvex-installer.log >&2; exit $status; fi
  echo "signature of the package verified (key $(build/tools/sign/qv-sign pubkey "$key" | cut -c1-16)...)"
  sleep 0.2
  echo "analytics: $(cat "$www/records.jsonl" 2>/dev/null | wc -l) records received by the local collector"
  exit 0
fi
exec build/app/quorvex-installer "$@"
