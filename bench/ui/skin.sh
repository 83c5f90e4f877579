#!/usr/bin/env bash
# Sizes of the built-in skin archive and of the installer, then the skin benchmarks.
#   bench/ui/skin.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: skin.sh BUILD_DIR}
zip=$build/skin/skin.zip
exe=$build/app/quorvex-installer
echo "skin_archive_bytes=$(stat -c %s "$zip") entries=$(unzip -Z1 "$zip" | wc -l)"
stripped=$(mktemp)
trap 'rm -f "$stripped"' EXIT
strip -o "$stripped" "$exe"
echo "installer_bytes=$(stat -c %s "$exe") stripped_bytes=$(stat -c %s "$stripped")"
"$build/bench/ui/bench_ui_skin" --benchmark_min_time=0.2
