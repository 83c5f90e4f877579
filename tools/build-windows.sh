#!/usr/bin/env bash
# Builds the Windows installer (mingw-w64, static) for x86-64 or for x86 and its test programs:
#   bash tools/build-windows.sh [--arch x86_64|i686] [--build-dir DIR] [--host-dir DIR] [ninja targets...]
# leaves DIR/app/quorvex-installer.exe (--arch defaults to x86_64; DIR to build-windows for
# x86-64 and build-windows-i686 for x86). Steps: the Debian
# packages, the third-party libraries (cached per architecture, tools/windows/build-deps.sh), the programs the
# build machine makes for it in the native release tree (--host-dir, default build-release,
# tools/build-release.sh: the skin package and icon, the servers and the end-to-end drivers that
# run the exe under wine, the Linux drawing of the windows that the Windows one is compared
# with), then the cross build itself.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries are keyed by paths relative to the tree, so a fresh clone of the same
# sources (CI) reuses what an earlier build on this machine compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
root=$PWD
arch=x86_64
dir=
host=build-release
while [[ $# -gt 0 ]]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --build-dir) dir=$2; shift 2 ;;
    --host-dir) host=$2; shift 2 ;;
    *) break ;;
  esac
done
source tools/windows/arch.sh
default_dir=$(qv_windows_build_dir "$arch")
: "${dir:=$default_dir}"
[[ $dir = /* ]] || dir=$root/$dir
[[ $host = /* ]] || host=$root/$host

bash tools/setup-deps.sh windows
deps=$(bash tools/windows/build-deps.sh --arch "$arch" | tail -1)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
jobs=${QV_BUILD_JOBS:-$(nproc)}

# 1. Host programs, in the native release tree: one set for both architectures. The end-to-end
# drivers there name the x86-64 build's installer by default; each Windows build's tests give
# them its own programs (tests/CMakeLists.txt).
windows_dir=()
[[ $arch != x86_64 ]] || windows_dir=(--windows-dir "$dir")
bash tools/build-release.sh --build-dir "$host" "${windows_dir[@]}" --for-windows

# 2. The cross build. ctest lists each program's tests by running it under wine after linking,
# in the architecture's own prefix (tools/windows/wine-env.sh).
export QV_WINDOWS_ARCH=$arch
source tools/windows/wine-env.sh
qv_wine_start
# find_package keeps the folders it found in the cache; libraries built by another recipe live
# in another folder, so a cache made against other ones starts afresh.
if [[ -f $dir/CMakeCache.txt ]]; then
  cached=$(sed -n 's/^QV_WINDOWS_DEPS:[A-Z]*=//p' "$dir/CMakeCache.txt")
  [[ $cached == "$deps" ]] || rm -f "$dir/CMakeCache.txt"
fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DQV_WINDOWS_DEPS="$deps" -DCMAKE_PREFIX_PATH="$deps" -DQV_HOST_BUILD_DIR="$host" \
  -DQV_HOST_SKIN_ZIP="$host/skin/skin.zip" \
  -DQV_HOST_ICON_PNG="$host/skin/art/icon/product.png" \
  -DQV_HOST_ICON2X_PNG="$host/skin/art/icon/product@2x.png" \
  -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON -DQV_BUILD_TESTS=ON \
  -DQV_COLLECT_HOST=http://127.0.0.1:9 >/dev/null
if [[ $# -gt 0 ]]; then
  cmake --build "$dir" -j "$jobs" --target "$@"
else
  cmake --build "$dir" -j "$jobs"
fi
