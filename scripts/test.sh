#!/usr/bin/env bash
# Builds Tidemill and runs every test; then the whole suite again under the address and
# undefined-behaviour sanitizers; then 20 seconds of each fuzz target (when clang is there) and
# installation (scripts/test-install.sh). Fails on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTIDEMILL_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMILL_TESTS=ON -DTIDEMILL_SANITIZE=ON
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j2

# Every fuzz target for 20 seconds, on its kept regression inputs first, when clang is there.
if command -v clang++ >/dev/null 2>&1; then
  bash scripts/fuzz.sh 20
fi

# Installation: prefix install with the manual page, and the Debian package through apt-get.
bash scripts/test-install.sh
