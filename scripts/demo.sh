#!/usr/bin/env bash
# Builds Tidemill and runs it on the samples in batch mode with a diagnostics file, in a
# temporary directory: shows each command, its standard error, the files it wrote and the log.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target tidemill
exe=$PWD/build/tidemill
samples=$PWD/samples
work=$(mktemp -d)
errors=$(mktemp)
trap 'rm -rf "$work" "$errors"' EXIT
cd "$work"

show() {
  echo
  echo "\$ tidemill $*"
  local status=0
  "$exe" "$@" 2>"$errors" || status=$?
  echo "exit status: $status"
  echo "standard error:"
  sed 's/^/  | /' "$errors"
  echo "files in $(pwd):"
  local file
  for file in *; do
    [ -f "$file" ] || continue
    echo "  -- $file ($(wc -c <"$file") bytes)"
    case "$file" in
      # A side file holds little-endian singles: shown as numbers.
      *.bin) od -An -v -f "$file" | head -n 10 | sed 's/^/  |/' ;;
      *) tr -d '\r' <"$file" | head -n 40 | sed 's/^/  | /' ;;
    esac
  done
  rm -f ./*
}

show "$samples/level.abr" level.xml /batch /diagfile diag.xml
# The run-simulation file is rewritten in place: the demo works on a copy.
cp "$samples/runsimp.sim" run.sim
show "$samples/flow.xml" flow.tms /batch /conversiontable "$samples/table.ini" /diagfile diag.xml
