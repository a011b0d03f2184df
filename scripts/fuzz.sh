#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with address and undefined-behaviour sanitizers) and
# runs each for SECONDS (default 60), as many at once as there are cores: first on its kept
# regression inputs (fuzz/regressions/T), then fuzzing from a seed corpus of the samples and
# fuzz/seeds/T. Prints one line per target as it ends and fails when any target found a crash,
# a hang or a leak; its input is left in build-fuzz/findings/T, to be kept under
# fuzz/regressions/T once fixed. An existing build-fuzz keeps its configuration (scripts/test.sh
# builds the tests there too).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed" >&2; exit 1; }

build=build-fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMILL_FUZZ=ON \
    -DTIDEMILL_TESTS=OFF >/dev/null
fi
echo "fuzz.sh: building ${#targets[@]} fuzz targets in $build (clang, libFuzzer, sanitizers)"
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

# The samples each target starts from, besides fuzz/seeds/T.
samples_of() {
  case "$1" in
    qx_reader_fuzz | qx_parallel_fuzz) echo samples/*.xml ;;
    ini_fuzz) echo samples/*.ini ;;
    kel_fuzz) echo samples/*.kel samples/*.map ;;
    abr_fuzz) echo samples/*.abr ;;
    runsimp_fuzz) echo samples/*.sim ;;
    editnode_fuzz) echo samples/*.fnm ;;
  esac
}

# One target: its regressions, then SECONDS of fuzzing; its line goes to standard output and
# to $build/T.result, which begins with "ok" when nothing was found.
fuzz_target() {
  local target=$1
  local exe="$build/$target" corpus="$build/corpus/$target" findings="$build/findings/$target"
  local log="$build/$target.log" result="$build/$target.result"
  mkdir -p "$corpus" "$findings"
  local seed
  for seed in $(samples_of "$target") fuzz/seeds/"$target"/*; do
    [ -f "$seed" ] && cp "$seed" "$corpus/"
  done
  local regressions=(fuzz/regressions/"$target"/*)
  if [ -f "${regressions[0]}" ] && ! "$exe" -timeout=10 "${regressions[@]}" >"$log" 2>&1; then
    echo "failed $target: a kept regression input fails again (see $log)" >"$result"
  else
    local status=0
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
    local runs cov ft found
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
    found=$(ls "$findings" 2>/dev/null | tr '\n' ' ')
    if [ "$status" -ne 0 ] || [ -n "$found" ]; then
      echo "failed $target: FOUND $(grep -m1 -o 'ERROR: [A-Za-z]*: [a-z-]*\|ERROR: libFuzzer: [a-z-]*' "$log" || echo "a failure") in ${seconds}s, ${runs} runs: ${found:-see $log}" >"$result"
    else
      echo "ok $target: ${seconds}s, ${runs} runs, coverage ${cov} edges, ${ft} features, corpus $(ls "$corpus" | wc -l) inputs, nothing found" >"$result"
    fi
  fi
  cut -d' ' -f2- "$result"
}

# libFuzzer runs one target on one core: as many targets at once as there are cores.
parallel=$(nproc 2>/dev/null || echo 1)
for target in "${targets[@]}"; do
  rm -f "$build/$target.result"
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  fuzz_target "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
  grep -q '^ok ' "$build/$target.result" 2>/dev/null || failed=1
done
exit "$failed"
