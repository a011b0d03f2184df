#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with address and undefined-behaviour sanitizers) and
# runs each for SECONDS (default 60): first on its kept regression inputs (fuzz/regressions/T),
# then fuzzing from a seed corpus of the samples and fuzz/seeds/T. Prints one line per target
# and fails when any target found a crash, a hang or a leak; its input is left in
# build-fuzz/findings/T, to be kept under fuzz/regressions/T once fixed.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed" >&2; exit 1; }

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMILL_FUZZ=ON \
  -DTIDEMILL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

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

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

failed=0
for target in "${targets[@]}"; do
  exe="$build/$target"
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  for seed in $(samples_of "$target") fuzz/seeds/"$target"/*; do
    [ -f "$seed" ] && cp "$seed" "$corpus/"
  done
  log="$build/$target.log"
  regressions=(fuzz/regressions/"$target"/*)
  if [ -f "${regressions[0]}" ] && ! "$exe" -timeout=10 "${regressions[@]}" >"$log" 2>&1; then
    echo "$target: a kept regression input fails again (see $log)"
    failed=1
    continue
  fi
  status=0
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
  found=$(ls "$findings" 2>/dev/null | tr '\n' ' ')
  if [ "$status" -ne 0 ] || [ -n "$found" ]; then
    echo "$target: FOUND $(grep -m1 -o 'ERROR: [A-Za-z]*: [a-z-]*\|ERROR: libFuzzer: [a-z-]*' "$log" || echo "a failure") in ${seconds}s, ${runs} runs: ${found:-see $log}"
    failed=1
  else
    echo "$target: ${seconds}s, ${runs} runs, coverage ${cov} edges, ${ft} features, corpus $(ls "$corpus" | wc -l) inputs, nothing found"
  fi
done
exit "$failed"
