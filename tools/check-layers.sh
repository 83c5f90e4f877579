#!/usr/bin/env bash
# Fails when a library includes a header of a layer above it, or when a library's build files
# take a file from a layer above it (or from tests/, tools/ or bench/, which sit above them all).
# Layers, lowest first:
#   utils -> config -> {download, analytics, toolkit} -> install -> ui -> app
# tests/, tools/ and bench/ may include anything. Only the project's own quoted includes
# ("folder/...") and the build files' paths from the top of the tree (${PROJECT_SOURCE_DIR}/...,
# ${CMAKE_SOURCE_DIR}/...) are looked at; cmake/ and skin/ (build helpers and data) are below
# every layer.
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
# Build files: CMakeLists.txt and *.cmake under each library's folder.
declare -A above_all=([tests]=1 [tools]=1 [bench]=1)
for folder in "${!level[@]}"; do
  [[ -d $folder ]] || continue
  while IFS= read -r hit; do
    target=${hit#*_SOURCE_DIR\}/}
    target=${target%%/*}
    if [[ -n ${above_all[$target]+set} ]] ||
       { [[ -n ${level[$target]+set} && $target != "$folder" ]] && (( ${level[$target]} > ${level[$folder]} )); }; then
      echo "layer violation: ${hit%%:*}:$(cut -d: -f2 <<<"$hit") ($folder's build takes a file from $target)"
      status=1
    fi
  done < <(grep -rnoE --include='CMakeLists.txt' --include='*.cmake' \
             '\$\{(PROJECT|CMAKE)_SOURCE_DIR\}/[A-Za-z0-9_.-]+' "$folder")
done

if (( status == 0 )); then
  echo "layers: no include or build file runs upwards"
fi
exit $status
