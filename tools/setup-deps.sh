#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, skipping those
# already present. Runs apt-get as root, or through sudo for another user.
#   tools/setup-deps.sh            build + test packages
#   tools/setup-deps.sh fuzz bench also the fuzzing (clang, libFuzzer) and benchmark extras
#   tools/setup-deps.sh windows    also the Windows cross build and wine
set -euo pipefail

base=(
  build-essential cmake ninja-build pkg-config git ca-certificates curl openssl python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev zlib1g-dev libssl-dev uuid-dev
  libglib2.0-dev libgtk-3-dev libsoup-3.0-dev libzip-dev libpugixml-dev
  libcpp-httplib-dev nlohmann-json3-dev
  libpng-dev libimagequant-dev
  fonts-noto-cjk fonts-dejavu-core
  xvfb xauth xdotool x11-utils imagemagick
  dbus dbus-x11 at-spi2-core python3-pyatspi
  tinyproxy
)
fuzz=(clang libclang-rt-14-dev)
bench=(nginx-light hyperfine time bc zip unzip)
# The Windows cross build: mingw-w64 (posix threads), wine to run its tests, ccache, and what
# tools/windows/build-deps.sh needs to build the libraries from Debian's sources (dpkg-dev);
# osslsigncode signs the programs the Authenticode tests check. The x86 build adds its compiler
# and wine's 32-bit half from Debian's i386 architecture (a 64-bit-only wine runs no 32-bit
# program: it exits 0 at once), with the X extensions wine's 32-bit display driver draws with,
# as the 64-bit one does (the GTK packages above bring those in for it).
windows=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxfixes3:i386 libxinerama1:i386
  libxcomposite1:i386 libz-mingw-w64-dev mingw-w64-tools ccache dpkg-dev meson osslsigncode)

want=("${base[@]}")
for group in "$@"; do
  case "$group" in
    fuzz) want+=("${fuzz[@]}") ;;
    bench) want+=("${bench[@]}") ;;
    windows) want+=("${windows[@]}") ;;
    *) echo "setup-deps: unknown group '$group' (known: fuzz bench windows)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi
echo "setup-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# Packages of another architecture ("name:i386") need it added to dpkg's list first; the update
# below then fetches its package lists.
for p in "${missing[@]}"; do
  [[ $p == *:* ]] || continue
  a=${p##*:}
  [[ $a == "$(dpkg --print-architecture)" ]] && continue
  dpkg --print-foreign-architectures | grep -qx -- "$a" || "${sudo[@]}" dpkg --add-architecture "$a"
done
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
