#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows installer, static, from Debian's own
# source packages: zlib (Debian's mingw build), libcurl (Schannel, HTTP only), libzip, pugixml,
# libpng, pixman, cairo (win32 and image surfaces, PNG functions), libcrypto (Ed25519 package
# signatures) and googletest. Everything lands
# in one prefix keyed by the packages' versions and a recipe number, so a second run with nothing
# changed returns at once; runs that start together build once (the others wait for it). Each
# architecture has a prefix of its own.
#   tools/windows/build-deps.sh [--arch x86_64|i686]   prints the prefix on its last line
# QV_WINDOWS_CACHE chooses the cache folder (default ~/.cache/quorvex-windows).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${QV_WINDOWS_CACHE:-$HOME/.cache/quorvex-windows}
arch=x86_64
while [[ $# -gt 0 ]]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    *) echo "build-deps: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
# What differs between the architectures: the tool prefix, meson's CPU family and OpenSSL's
# target name.
case "$arch" in
  x86_64) cpu_family=x86_64 openssl_target=mingw64 ;;
  i686) cpu_family=x86 openssl_target=mingw ;;
  *) echo "build-deps: unknown architecture '$arch' (known: x86_64 i686)" >&2; exit 2 ;;
esac
host=$arch-w64-mingw32
jobs=$(nproc)

src_packages=(curl libzip pugixml libpng1.6 pixman cairo openssl)
# Bump when the build steps below change, so the cache is rebuilt.
recipe=3

# 1. The source list: Debian's sources for the suite this machine runs, from the archive its own
# package lists come from (a machine behind a local mirror may reach no other). apt's own reading
# of the configured entries (sources.list one-line entries and the deb822 files beside it alike)
# gives the binary entries of the Debian archive for the running suite; the public archive is
# the fallback only when there is none. A source list the machine already has is left alone.
debian_archive() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [[ -n $codename ]] || return 0
  # Origin comes from the suite's Release file; before the first apt-get update it is unknown
  # (printed as the unexpanded field name), and any entry for the suite's main component counts.
  apt-get indextargets --format '$(TARGET_OF) $(RELEASE) $(COMPONENT) $(ORIGIN) $(REPO_URI)' 2>/dev/null |
    awk -v suite="$codename" '$1 == "deb" && $3 == "main" && ($4 == "Debian" || $4 == "$(ORIGIN)") &&
      ($2 == suite || $2 == suite "-updates") { print $2, $5 }' | sort -u
}
ensure_sources() {
  local list=/etc/apt/sources.list.d/quorvex-deb-src.sources
  local others
  others=$(apt-get indextargets --format '$(TARGET_OF) $(SOURCESENTRY)' 2>/dev/null |
    awk -v own="$list" '$1 == "deb-src" && index($2, own ":") != 1' || true)
  [[ -z $others ]] || return 0
  local entries uris suites codename
  entries=$(debian_archive)
  uris=$(awk '{ print $2 }' <<<"$entries" | sort -u | tr '\n' ' ')
  suites=$(awk '{ print $1 }' <<<"$entries" | sort -u | tr '\n' ' ')
  if [[ -z ${uris// /} ]]; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    uris='http://deb.debian.org/debian'
    suites="$codename $codename-updates"
    echo "build-deps: no Debian archive among the machine's package sources; using $uris" >&2
  fi
  local want
  want=$(printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "${uris% }" "${suites% }")
  [[ -f $list && $(<"$list") == "$want" ]] && return 0
  if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi
  printf '%s\n' "$want" | "${sudo[@]}" tee "$list" >/dev/null
  "${sudo[@]}" apt-get update -qq
}

version_of() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/{print $2}' | sort -V | tail -1; }

ensure_sources
key="recipe=$recipe"
# The x86-64 prefix's key predates the architecture field: it stays as it was, so existing
# caches stay valid.
[[ $arch == x86_64 ]] || key+="-arch=$arch"
for p in "${src_packages[@]}"; do key+="-$p=$(version_of "$p")"; done
key+="-gtest=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || dpkg-query -W -f='${Version}' libgtest-dev)"
key+="-zlib=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
stamp=$(echo "$key" | sha256sum | cut -c1-16)
prefix=$cache/deps-$stamp
# Several builds on the machine share the cache: the first one in builds the prefix, the others
# wait here and then find it complete (the lock goes with this process, however it ends).
mkdir -p "$cache"
exec 9>"$cache/deps-$stamp.lock"
flock 9
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

toolchain=$root/cmake/mingw-w64-$arch.cmake
cmake_cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_POSITION_INDEPENDENT_CODE=OFF -DQV_WINDOWS_DEPS="$prefix")

# Runs one build step with its output in $work/NAME.log, shown (its end) only if the step fails.
logged() {
  local log=$work/$1.log
  shift
  if ! "$@" >"$log" 2>&1; then
    echo "build-deps: failed: $*" >&2
    tail -n 40 "$log" >&2
    echo "build-deps: full log: $log" >&2
    exit 1
  fi
}

# 2. Sources, unpacked with Debian's patches applied (the .orig tarball if the diff is missing:
# the archive no longer serves some packages' diffs, pixman's among them).
fetch() {
  local p=$1
  mkdir -p "src-$p" && (cd "src-$p" && apt-get source -qq "$p" >/dev/null 2>&1 ||
    apt-get source -qq --download-only "$p" >/dev/null 2>&1) || true
  local dir
  dir=$(find "src-$p" -mindepth 1 -maxdepth 1 -type d | head -1)
  if [[ -z $dir ]]; then
    local orig
    orig=$(ls "src-$p"/*.orig.tar.* 2>/dev/null | head -1)
    [[ -n $orig ]] && tar -xf "$orig" -C "src-$p"
    dir=$(find "src-$p" -mindepth 1 -maxdepth 1 -type d | head -1)
  fi
  if [[ -z $dir ]]; then
    echo "build-deps: could not fetch the sources of $p" >&2
    return 1
  fi
  echo "$work/$dir"
}

# 3. zlib: Debian ships it built for mingw; copy the static library and headers in.
# (libz-mingw-w64-dev holds both architectures.)
mkdir -p "$prefix/include" "$prefix/lib"
cp "/usr/$host/include/zlib.h" "/usr/$host/include/zconf.h" "$prefix/include/"
cp "/usr/$host/lib/libz.a" "$prefix/lib/libz.a"
# libpng's pkg-config file requires zlib's, which Debian's mingw package does not ship; cairo's
# configure finds libpng (and pixman) through pkg-config in the prefix alone.
mkdir -p "$prefix/lib/pkgconfig"
zlib_version=$(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$prefix/include/zlib.h")
cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: zlib
Description: zlib compression library
Version: $zlib_version
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
EOF
pkg_config_env=(env PKG_CONFIG=pkg-config PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=
  PKG_CONFIG_SYSROOT_DIR=)

# 4. libcurl: Schannel for TLS; HTTP(S) and file: addresses (the downloaders accept both), no
# other protocol and nothing else that needs a library of its own.
curl_src=$(fetch curl)
logged curl-configure cmake -S "$curl_src" -B build-curl "${cmake_cross[@]}" \
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
  -DCURL_DISABLE_FTP=ON -DCURL_DISABLE_TELNET=ON -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_TFTP=ON \
  -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_POP3=ON -DCURL_DISABLE_SMTP=ON \
  -DCURL_DISABLE_RTSP=ON -DCURL_DISABLE_MQTT=ON -DCURL_DISABLE_SMB=ON -DCURL_DISABLE_LDAPS=ON \
  -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DCURL_DISABLE_LDAP=ON \
  -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DENABLE_UNICODE=ON \
  -DCURL_ZLIB=ON -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
logged curl-build cmake --build build-curl -j "$jobs"
logged curl-install cmake --install build-curl

# 5. libzip: Windows' own crypto, no other compression than deflate.
zip_src=$(fetch libzip)
logged libzip-configure cmake -S "$zip_src" -B build-libzip "${cmake_cross[@]}" -DENABLE_WINDOWS_CRYPTO=ON \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DBUILD_OSSFUZZ=OFF \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
logged libzip-build cmake --build build-libzip -j "$jobs"
logged libzip-install cmake --install build-libzip

# 6. pugixml.
pugi_src=$(fetch pugixml)
logged pugixml-configure cmake -S "$pugi_src" -B build-pugixml "${cmake_cross[@]}" -DPUGIXML_BUILD_TESTS=OFF
logged pugixml-build cmake --build build-pugixml -j "$jobs"
logged pugixml-install cmake --install build-pugixml

# 7. libpng (with Debian's security fixes), static only: no tools, no tests.
png_src=$(fetch libpng1.6)
logged libpng-configure cmake -S "$png_src" -B build-libpng "${cmake_cross[@]}" -DPNG_SHARED=OFF \
  -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
logged libpng-build cmake --build build-libpng -j "$jobs"
logged libpng-install cmake --install build-libpng

# 8. pixman (meson): the x86 SIMD paths only, no tests or demos.
pixman_src=$(fetch pixman)
# pixman marks its API dllexport wherever the compiler knows the attribute, static library or not;
# linked into the installer it would make the executable export pixman's functions.
sed -i "s/^if cc.has_function_attribute('dllexport')$/if false/" "$pixman_src/pixman/meson.build"
if ! grep -qx 'if false' "$pixman_src/pixman/meson.build"; then
  echo "build-deps: pixman's meson.build changed; revisit its dllexport switch" >&2
  exit 1
fi
cat >cross.ini <<EOF
[binaries]
c = '$host-gcc-posix'
cpp = '$host-g++-posix'
ar = '$host-ar'
strip = '$host-strip'
windres = '$host-windres'
pkgconfig = 'pkg-config'

[properties]
needs_exe_wrapper = true

[host_machine]
system = 'windows'
cpu_family = '$cpu_family'
cpu = '$arch'
endian = 'little'
EOF
logged pixman-setup "${pkg_config_env[@]}" meson setup build-pixman "$pixman_src" \
  --cross-file cross.ini --prefix "$prefix" --libdir lib --buildtype release \
  -Ddefault_library=static -Dtests=disabled -Dgtk=disabled -Dlibpng=disabled -Dopenmp=disabled \
  -Dloongson-mmi=disabled -Dvmx=disabled -Darm-simd=disabled -Dneon=disabled -Da64-neon=disabled \
  -Diwmmxt=disabled -Dmips-dspr2=disabled
logged pixman-build ninja -C build-pixman -j "$jobs"
logged pixman-install meson install -C build-pixman

# 9. cairo 1.16 (autotools): the win32 surface and its GDI font backend, image surfaces and the PNG
# functions; no X11, OpenGL, FreeType/fontconfig, PS/PDF/SVG, script or gobject. Only src/ is
# built (no tests, docs or utilities). Debian's patches touch configure.ac and Makefile.am; the
# shipped configure and Makefile.in stand, so make must not run the autotools again. cairo adds
# -D_FORTIFY_SOURCE=2 itself: programs linking it need libssp (qv::cairo carries it).
cairo_src=$(fetch cairo)
no_autotools=(ACLOCAL=true AUTOMAKE=true AUTOCONF=true AUTOHEADER=true)
mkdir -p build-cairo
logged cairo-configure "${pkg_config_env[@]}" sh -c 'cd build-cairo && exec "$@"' sh \
  "$cairo_src/configure" --host="$host" CC="$host-gcc-posix" --prefix="$prefix" \
  --enable-static --disable-shared --disable-dependency-tracking --disable-gtk-doc \
  CPPFLAGS="-DCAIRO_WIN32_STATIC_BUILD -I$prefix/include" LDFLAGS="-L$prefix/lib" CFLAGS=-O2 \
  --enable-win32=yes --enable-win32-font=yes --enable-png=yes \
  --disable-xlib --disable-xlib-xrender --disable-xcb --disable-xlib-xcb --disable-xcb-shm \
  --disable-qt --disable-quartz --disable-quartz-font --disable-quartz-image --disable-os2 \
  --disable-beos --disable-drm --disable-gallium --disable-gl --disable-glesv2 --disable-glesv3 \
  --disable-cogl --disable-directfb --disable-vg --disable-egl --disable-glx --disable-wgl \
  --disable-script --disable-ft --disable-fc --disable-ps --disable-pdf --disable-svg \
  --disable-test-surfaces --disable-tee --disable-xml --disable-gobject --disable-trace \
  --disable-interpreter --disable-symbol-lookup --disable-valgrind --disable-full-testing
logged cairo-build make -C build-cairo/src -j "$jobs" "${no_autotools[@]}"
logged cairo-install make -C build-cairo/src install "${no_autotools[@]}"
rm -f "$prefix"/lib/*.la

# 10. libcrypto for the package signatures (Ed25519 verification; the hashes go through BCrypt):
# static, no assembler, no engines or modules, no TLS or network code, and every algorithm family
# the installer does not use left out, which keeps the cold build to about 15 minutes on 2 shared
# cores. OpenSSL's own Configure (perl) drives its mingw target; only the libraries are built.
openssl_src=$(fetch openssl)
mkdir -p build-openssl
logged openssl-configure sh -c 'cd build-openssl && exec "$@"' sh "$openssl_src/Configure" "$openssl_target" \
  --cross-compile-prefix="$host-" --prefix="$prefix" --libdir=lib --openssldir="$prefix/ssl" CC=gcc-posix \
  no-shared no-tests no-module no-legacy no-engine no-dso no-asm no-async no-ssl no-tls no-dtls no-sock \
  no-ui-console no-autoload-config no-deprecated no-aria no-bf no-blake2 no-camellia no-cast no-chacha \
  no-cmac no-cms no-comp no-ct no-des no-dh no-dsa no-ec2m no-idea no-md4 no-mdc2 no-ocb no-ocsp \
  no-poly1305 no-rc2 no-rc4 no-rmd160 no-scrypt no-seed no-siphash no-siv no-sm2 no-sm3 no-sm4 no-srp \
  no-srtp no-ts no-whirlpool no-cmp no-rfc3779 no-psk no-multiblock no-gost no-padlockeng no-capieng \
  no-afalgeng no-ktls no-filenames
logged openssl-build make -C build-openssl -j "$jobs" build_libs
logged openssl-install make -C build-openssl install_dev
rm -f "$prefix/lib/libssl.a" "$prefix/lib/pkgconfig/libssl.pc" "$prefix/lib/pkgconfig/openssl.pc"

# 11. googletest and googlemock from the sources Debian installs with libgtest-dev.
logged gtest-configure cmake -S /usr/src/googletest -B build-gtest "${cmake_cross[@]}" -Dgtest_disable_pthreads=OFF
logged gtest-build cmake --build build-gtest -j "$jobs"
logged gtest-install cmake --install build-gtest

copy_headers
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
