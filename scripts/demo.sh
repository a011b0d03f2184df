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
      *.kel | *.map) od -A d -t x1z -v "$file" | head -n 16 | sed 's/^/  | /' ;;
      *) tr -d '\r' <"$file" | head -n 40 | sed 's/^/  | /' ;;
    esac
  done
  # KEEP=1 leaves the files for the next command.
  [ -n "${KEEP:-}" ] || rm -f ./*
}

show "$samples/level.abr" level.xml /batch /diagfile diag.xml
# The run-simulation file is rewritten in place: the demo works on a copy.
cp "$samples/run.sim" run.sim
show "$samples/flow.xml" flow.tms /batch /conversiontable "$samples/table.ini" /diagfile diag.xml

# QX-XML to the data-edit server: the table names no StartUpDir, so the model's edit-node file
# is looked for in the current directory; the server rewrites its values there.
cp "$samples/editnode.fnm" .
show "$samples/flow.xml" flow.bin /batch /conversiontable "$samples/table.ini" /diagfile diag.xml

# Kel history and map files: a Kel file to QX-XML by the conversion table, a map file to QX-XML,
# and a round trip Kel -> QX-XML -> Kel -> QX-XML whose two QX-XML files are the same.
show "$samples/river.kel" selected.xml /batch /conversiontable "$samples/kel-table.ini" /diagfile diag.xml
show "$samples/river.map" map.xml /batch /diagfile diag.xml
KEEP=1 show "$samples/river.kel" river.xml /batch /debug /diagfile diag.xml
mv river.xml first.xml
KEEP=1 show first.xml river.kel /batch /diagfile diag.xml
KEEP=1 show river.kel river.xml /batch /debug /diagfile diag.xml
echo
cmp first.xml river.xml && echo "first.xml and river.xml are identical: the round trip kept every series"
rm -f ./*
