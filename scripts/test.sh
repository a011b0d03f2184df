#!/usr/bin/env bash
# Builds Tidemill and runs every test; then the whole suite again under the address and
# undefined-behaviour sanitizers and 20 seconds of each fuzz target (when clang is there, from the
# same build), and under the thread sanitizer (clang only); then the Windows build and the suite
# under Wine (scripts/test-windows.sh); then installation (scripts/test-install.sh, from the
# release build). Fails on any failure.
# Prints a line before each stage and each long build, with the time since the start.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
stage() { printf '== %d:%02d %s\n' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60)) "$*"; }

stage "packages: installing what is missing"
TIDEMILL_EXTRA_PACKAGES="python3-cram groff-base"  # the documentation's examples (tests/docs)
source scripts/setup.sh

stage "release build (build/): tidemill and tidemill_tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTIDEMILL_TESTS=ON >/dev/null
cmake --build build -j2 --target tidemill tidemill_tests
stage "tests (the suite; the documentation's examples by cram)"
ctest --test-dir build --output-on-failure -j2

# The sanitizer run: with clang, in build-fuzz, whose one build (address + undefined, with the
# fuzzers' coverage instrumentation) serves the tests and the fuzz targets; else with g++.
asan_options=detect_leaks=1:abort_on_error=1
ubsan_options=print_stacktrace=1:halt_on_error=1
if command -v clang++ >/dev/null 2>&1; then
  stage "sanitizer build (build-fuzz: clang, address + undefined): tidemill, tidemill_tests, fuzz targets"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMILL_FUZZ=ON \
    -DTIDEMILL_TESTS=ON >/dev/null
  cmake --build build-fuzz -j2
  stage "tests under the sanitizers"
  ASAN_OPTIONS=$asan_options UBSAN_OPTIONS=$ubsan_options ctest --test-dir build-fuzz --output-on-failure -j2
  # Every fuzz target for 20 seconds, on its kept regression inputs first.
  stage "fuzzing: every target for 20 seconds, one per core at a time"
  bash scripts/fuzz.sh 20
  # Races: the whole suite on four threads, QX-XML read in ranges from one byte.
  stage "thread-sanitizer build (build-tsan: clang): tidemill and tidemill_tests"
  CC=clang CXX=clang++ cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMILL_TSAN=ON \
    -DTIDEMILL_TESTS=ON >/dev/null
  cmake --build build-tsan -j2 --target tidemill tidemill_tests
  stage "tests under the thread sanitizer"
  TSAN_OPTIONS=halt_on_error=1 TIDEMILL_THREADS=4 TIDEMILL_PARALLEL_MIN_BYTES=1 \
    ctest --test-dir build-tsan --output-on-failure -j2 -E e2e_reading_on_four_threads
else
  stage "sanitizer build (build-asan: g++, address + undefined): tidemill and tidemill_tests"
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMILL_TESTS=ON -DTIDEMILL_SANITIZE=ON >/dev/null
  cmake --build build-asan -j2 --target tidemill tidemill_tests
  stage "tests under the sanitizers"
  ASAN_OPTIONS=$asan_options UBSAN_OPTIONS=$ubsan_options ctest --test-dir build-asan --output-on-failure -j2
  stage "fuzzing skipped: no clang++"
fi

# Windows: tidemill.exe cross-built with mingw-w64, the whole suite under Wine.
stage "windows build (build-windows/: mingw-w64) and tests under Wine"
bash scripts/test-windows.sh

# Installation: prefix install with the manual page, and the Debian package through apt-get,
# both from the release build above.
stage "installation (from build/)"
bash scripts/test-install.sh build
stage "all passed"
