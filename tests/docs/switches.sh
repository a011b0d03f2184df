#!/usr/bin/env bash
# The manual page is the options' reference: its synopsis, `tidemill --help`'s usage line and the
# README's synopsis name the same switches, and its OPTIONS, --help's switch list and the README's
# switch table list the same ones.
#   tests/docs/switches.sh BUILD-DIR
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
switches() { grep -o '/[a-z]\+' | sort -u | tr '\n' ' '; }
page=$(cat "$build/tidemill.1")
help=$("$build/tidemill" --help)
usage=$(sed -n '/^## Usage/,/^## [^U]/p' "$src/README.md")

synopsis_page=$(awk '/^\.SH/ { on = ($2 == "SYNOPSIS") } on' <<<"$page" | switches)
synopsis_help=$(sed '/^$/q' <<<"$help" | switches)
synopsis_readme=$(grep '^tidemill ' <<<"$usage" | switches)
list_page=$(awk '/^\.SH/ { on = ($2 == "OPTIONS") } on && tag { print } { tag = ($1 == ".TP") }' <<<"$page" | switches)
list_help=$(sed -n '/^Switches/,/^$/p' <<<"$help" | grep '^  /' | sed 's/   .*//' | switches)
list_readme=$(grep '^| `/' <<<"$usage" | cut -d'|' -f2 | switches)

status=0
check() {
  [ "$2" = "$3" ] || { printf 'switches: %s differ:\n  manual page: %s\n  %s\n' "$1" "$2" "$4" >&2; status=1; }
}
check synopses "$synopsis_page" "$synopsis_help" "--help:      $synopsis_help"
check synopses "$synopsis_page" "$synopsis_readme" "README:      $synopsis_readme"
check "switch lists" "$list_page" "$list_help" "--help:      $list_help"
check "switch lists" "$list_page" "$list_readme" "README:      $list_readme"
[ -n "$list_page" ] && [ -n "$synopsis_page" ] || { echo "switches: none found in the manual page" >&2; status=1; }
exit $status
