#!/usr/bin/env bash
# Cross-builds build-windows/tidemill.exe and its test suite for 64-bit Windows with mingw-w64,
# installing what is missing. libxml2 comes from Debian's own source package and GoogleTest from
# Debian's googletest, both built once into build-windows/deps/ and kept there for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=$root/build-windows/deps
toolchain=$root/cmake/mingw-w64-x86_64.cmake

TIDEMILL_EXTRA_PACKAGES="g++-mingw-w64-x86-64-posix wine64 dpkg-dev googletest ${TIDEMILL_EXTRA_PACKAGES:-}"
source scripts/setup.sh

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Source entries made from the existing Debian entries, where the machine has none.
enable_sources() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] && as_root sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$f"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb[[:space:]]' /etc/apt/sources.list | sed 's/^deb/deb-src/' | as_root tee /etc/apt/sources.list.d/tidemill-src.list >/dev/null
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
}

cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps")

if [ ! -f "$deps/lib/libxml2.a" ]; then
  echo "libxml2: Debian's source package, built static for Windows"
  enable_sources
  rm -rf "$deps/src/libxml2" && mkdir -p "$deps/src/libxml2"
  (cd "$deps/src/libxml2" && apt-get source -q libxml2 >/dev/null)
  src=$(find "$deps/src/libxml2" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -1)
  cmake -S "$src" -B "$deps/build/libxml2" "${cross[@]}" -DBUILD_SHARED_LIBS=OFF \
    -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF \
    -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
    -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF >/dev/null
  cmake --build "$deps/build/libxml2" -j2 >/dev/null
  cmake --install "$deps/build/libxml2" >/dev/null
fi

if [ ! -f "$deps/lib/libgtest.a" ]; then
  echo "GoogleTest: Debian's googletest, built for Windows"
  cmake -S /usr/src/googletest -B "$deps/build/googletest" "${cross[@]}" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$deps/build/googletest" -j2 >/dev/null
  cmake --install "$deps/build/googletest" >/dev/null
fi

cmake -S . -B build-windows "${cross[@]}" -DTIDEMILL_DEPS="$deps" -DTIDEMILL_TESTS=ON >/dev/null
cmake --build build-windows -j2 --target tidemill tidemill_tests
