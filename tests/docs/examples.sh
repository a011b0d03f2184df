#!/usr/bin/env bash
# Runs the documentation's examples with cram (Debian's python3-cram): every command shown with
# its output in README.md, in docs/*.md and in the manual page, against a fresh copy of samples/
# for each file (the file's first command copies them), with BUILD-DIR first on the path.
# A difference fails. In the Markdown files an example is an indented block whose commands start
# with "$ "; code that is not an example goes in fenced blocks. The manual page's examples are
# taken from its rendered EXAMPLES section, as a reader sees them.
#   tests/docs/examples.sh BUILD-DIR [CRAM-OPTIONS]   (-i: offer to write changed output into
#   the files; -i -y: write it all)
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
shift
cram=$(command -v cram3 || command -v cram) || { echo "examples: no cram (apt-get install python3-cram)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The page's EXAMPLES section, rendered: prose becomes comment, the indented lines the session.
{
  echo '  $ cp "$SAMPLES"/* .'
  groff -man -Tascii -P-cbou "$build/tidemill.1" | awk '
    /^[A-Z]/ { on = ($0 == "EXAMPLES"); next }
    on && /^              / { print "  " substr($0, 15); next }
    on { sub(/^ +/, ""); print }'
} >"$work/tidemill.1.t"
export SAMPLES=$src/samples PATH=$build:$PATH
cd "$src"  # relative names, so that cram -i can patch the files
mapfile -t docs < <(grep -l '^    \$ ' README.md docs/*.md)
status=0
"$cram" --indent=4 "$@" "${docs[@]}" || status=1
"$cram" "$@" "$work/tidemill.1.t" || status=1
exit $status
