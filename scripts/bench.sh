#!/usr/bin/env bash
# Builds build/tidemill (Release) and the benchmark programs, generates the inputs in a temporary
# directory and prints one table: every conversion as a whole run of build/tidemill (those from
# QX-XML on all cores and on one thread, TIDEMILL_THREADS=1), beside cat and the bare libxml2
# parse of the same input measured in the same run, the same xml -> tms job
# done by bench/xml2tms.py (Python, lxml), xml -> tms and xml -> bin on 16 threads against 2,
# and xml -> tms at 10^4 to 10^7 events. Checks that
# the script and tidemill wrote the same TMS file (cmp); fails when they differ.
#
# Usage: scripts/bench.sh [--large | --threads] [--runs N]
#   --runs N   best of N rounds (default 5); about a minute a round on 2 cores
#   --large    adds rows that take a few minutes and about 3 GB of disk: QX-XML of more than
#              2 GB to TMS and to Kel (peak memory per event), and an ABR file and a conversion
#              table each holding one line of 256 MiB and of 1 GiB
#   --threads  only the rows of 16 threads against 2 (no Python comparison)
set -euo pipefail
cd "$(dirname "$0")/.."

args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --large) args+=(--large) ;;
    --threads) args+=(--threads) ;;
    --runs) [ $# -ge 2 ] || { echo "--runs needs a number" >&2; exit 2; }; args+=(--runs "$2"); shift ;;
    *) sed -n '10,16s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
  shift
done

TIDEMILL_EXTRA_PACKAGES="python3-lxml"
source scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target tidemill >/dev/null
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTIDEMILL_BENCH=ON -DTIDEMILL_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target convert_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tidemill-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(free -g | awk '/^Mem:/ {print $2}') GiB of memory," \
  "Debian $(cat /etc/debian_version), $(uname -r)"
echo "$(build/tidemill --version 2>/dev/null | head -n 1), $(/usr/bin/python3 --version)," \
  "lxml $(/usr/bin/python3 -c 'import lxml.etree as e; print(e.__version__)'), libxml2 $(xml2-config --version 2>/dev/null || echo '?')"
build-bench/convert_bench --exe build/tidemill --python bench/xml2tms.py --dir "$work" "${args[@]}"

if [[ " ${args[*]-} " == *" --threads "* ]]; then
  :
elif cmp -s "$work/out.tms" "$work/python/out.tms"; then
  echo "bench/xml2tms.py and tidemill wrote the same TMS file (cmp)"
else
  echo "bench/xml2tms.py and tidemill wrote DIFFERENT TMS files: $(cmp "$work/out.tms" "$work/python/out.tms" 2>&1)"
  exit 1
fi
