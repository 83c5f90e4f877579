#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows installer, static, from Debian's own
# source packages: zlib (Debian's mingw build), libcurl (Schannel, HTTP only), libzip, pugixml and
# googletest. Everything lands in one prefix keyed by the packages' versions and this script's
# own hash, so a second run with nothing changed returns at once.
#   tools/windows/build-deps.sh          prints the prefix on its last line
# QV_WINDOWS_CACHE chooses the cache folder (default ~/.cache/quorvex-windows).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${QV_WINDOWS_CACHE:-$HOME/.cache/quorvex-windows}
host=x86_64-w64-mingw32
jobs=$(nproc)

src_packages=(curl libzip pugixml)
# Bump when the build steps below change, so the cache is rebuilt.
recipe=2

# 1. The source list: Debian's sources for the suite this machine uses.
ensure_sources() {
  local list=/etc/apt/sources.list.d/quorvex-deb-src.sources
  if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx 'Sources'; then
    if [[ ! -f $list ]]; then
      if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi
      printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        | "${sudo[@]}" tee "$list" >/dev/null
      "${sudo[@]}" apt-get update -qq
    fi
  fi
}

version_of() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/{print $2}' | sort -V | tail -1; }

ensure_sources
key="recipe=$recipe"
for p in "${src_packages[@]}"; do key+="-$p=$(version_of "$p")"; done
key+="-gtest=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || dpkg-query -W -f='${Version}' libgtest-dev)"
key+="-zlib=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
stamp=$(echo "$key" | sha256sum | cut -c1-16)
prefix=$cache/deps-$stamp
# Header-only libraries the tests use (in-process servers, JSON) come from Debian's packages as
# they are; copied on every run so the cache key does not depend on them.
copy_headers() {
  mkdir -p "$prefix/include"
  # Debian's libcpp-httplib-dev ships the header split from a compiled library that mingw lacks;
  # the source package holds the single-header form.
  local httplib_version
  httplib_version=$(version_of cpp-httplib)
  if [[ ! -f $prefix/.httplib-$httplib_version ]]; then
    local tmp
    tmp=$(mktemp -d)
    (cd "$tmp" && apt-get source -qq --download-only cpp-httplib >/dev/null 2>&1 &&
      tar -xf ./*.orig.tar.* )
    cp "$(find "$tmp" -maxdepth 2 -name httplib.h | head -1)" "$prefix/include/httplib.h"
    rm -rf "$tmp"
    touch "$prefix/.httplib-$httplib_version"
  fi
  rm -rf "$prefix/include/nlohmann" && cp -r /usr/include/nlohmann "$prefix/include/"
  # The package's CMake files find the headers relative to themselves.
  mkdir -p "$prefix/share/cmake"
  rm -rf "$prefix/share/cmake/nlohmann_json" && cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
}
if [[ -f $prefix/.complete ]]; then
  copy_headers
  echo "$prefix"
  exit 0
fi

work=$cache/work-$stamp
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"
echo "build-deps: building into $prefix ($key)" >&2

toolchain=$root/cmake/mingw-w64-x86_64.cmake
cmake_cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_POSITION_INDEPENDENT_CODE=OFF -DQV_WINDOWS_DEPS="$prefix")

# 2. Sources, unpacked with Debian's patches applied (the .orig tarball if the diff is missing).
fetch() {
  local p=$1
  mkdir -p "src-$p" && (cd "src-$p" && apt-get source -qq "$p" >/dev/null 2>&1 ||
    apt-get source -qq --download-only "$p" >/dev/null)
  local dir
  dir=$(find "src-$p" -mindepth 1 -maxdepth 1 -type d | head -1)
  if [[ -z $dir ]]; then
    local orig
    orig=$(ls "src-$p"/*.orig.tar.* | head -1)
    tar -xf "$orig" -C "src-$p"
    dir=$(find "src-$p" -mindepth 1 -maxdepth 1 -type d | head -1)
  fi
  echo "$work/$dir"
}

# 3. zlib: Debian ships it built for mingw; copy the static library and headers in.
cp /usr/x86_64-w64-mingw32/include/zlib.h /usr/x86_64-w64-mingw32/include/zconf.h "$prefix/include/" 2>/dev/null ||
  { mkdir -p "$prefix/include"; cp /usr/x86_64-w64-mingw32/include/zlib.h /usr/x86_64-w64-mingw32/include/zconf.h "$prefix/include/"; }
mkdir -p "$prefix/lib"
cp /usr/x86_64-w64-mingw32/lib/libz.a "$prefix/lib/libz.a"

# 4. libcurl: Schannel for TLS; HTTP(S) and file: addresses (the downloaders accept both), no
# other protocol and nothing else that needs a library of its own.
curl_src=$(fetch curl)
cmake -S "$curl_src" -B build-curl "${cmake_cross[@]}" \
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
  -DCURL_DISABLE_FTP=ON -DCURL_DISABLE_TELNET=ON -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_TFTP=ON \
  -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_POP3=ON -DCURL_DISABLE_SMTP=ON \
  -DCURL_DISABLE_RTSP=ON -DCURL_DISABLE_MQTT=ON -DCURL_DISABLE_SMB=ON -DCURL_DISABLE_LDAPS=ON \
  -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DCURL_DISABLE_LDAP=ON \
  -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DENABLE_UNICODE=ON \
  -DCURL_ZLIB=ON -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" >/dev/null
cmake --build build-curl -j "$jobs" >/dev/null
cmake --install build-curl >/dev/null

# 5. libzip: Windows' own crypto, no other compression than deflate.
zip_src=$(fetch libzip)
cmake -S "$zip_src" -B build-libzip "${cmake_cross[@]}" -DENABLE_WINDOWS_CRYPTO=ON \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DBUILD_OSSFUZZ=OFF \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" >/dev/null
cmake --build build-libzip -j "$jobs" >/dev/null
cmake --install build-libzip >/dev/null

# 6. pugixml.
pugi_src=$(fetch pugixml)
cmake -S "$pugi_src" -B build-pugixml "${cmake_cross[@]}" -DPUGIXML_BUILD_TESTS=OFF >/dev/null
cmake --build build-pugixml -j "$jobs" >/dev/null
cmake --install build-pugixml >/dev/null

# 7. googletest and googlemock from the sources Debian installs with libgtest-dev.
cmake -S /usr/src/googletest -B build-gtest "${cmake_cross[@]}" -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build build-gtest -j "$jobs" >/dev/null
cmake --install build-gtest >/dev/null

copy_headers
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
