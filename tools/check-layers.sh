#!/usr/bin/env bash
# Fails when a library includes a header of a layer above it. Layers, lowest first:
#   utils -> config -> {download, analytics, toolkit} -> install -> ui -> app
# tests/, tools/ and bench/ may include anything. Only the project's own quoted includes
# ("folder/...") are looked at.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A level=([utils]=0 [config]=1 [download]=2 [analytics]=2 [toolkit]=2 [install]=3 [ui]=4 [app]=5)

status=0
for folder in "${!level[@]}"; do
  [[ -d $folder ]] || continue
  # file:line:#include "target/..."
  while IFS= read -r hit; do
    target=${hit#*#include \"}
    target=${target%%/*}
    [[ -n ${level[$target]+set} ]] || continue  # system headers, generated files
    [[ $target == "$folder" ]] && continue
    if (( ${level[$target]} > ${level[$folder]} )); then
      echo "layer violation: ${hit%%:#include*} ($folder includes $target)"
      status=1
    fi
  done < <(grep -rn --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' \
             -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "$folder" |
           sed -E 's/^([^:]+:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*/\1:#include /')
done
if (( status == 0 )); then
  echo "layers: no include runs upwards"
fi
exit $status
