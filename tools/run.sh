#!/usr/bin/env bash
# The main job: builds the installer and starts it. Installs the Debian packages it needs first.
# Arguments are passed to the installer (see README for its options).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build build
exec build/app/quorvex-installer "$@"
