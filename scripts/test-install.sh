#!/usr/bin/env bash
# Tests installation as a Linux user meets it: `cmake --install` into a prefix (executable and
# manual page, the page rendered without groff warnings), then the Debian package that
# `cpack -G DEB` builds from the same rules, installed with apt-get, run, and removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
TIDEMILL_EXTRA_PACKAGES="groff-base man-db dpkg-dev"
source scripts/setup.sh

build=build-install
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTIDEMILL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target tidemill
prefix=$(mktemp -d)
work=$(mktemp -d)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
cleanup() {
  rm -rf "$prefix" "$work"
  if dpkg-query -W -f='${Status}' tidemill 2>/dev/null | grep -q "ok installed"; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q tidemill >/dev/null
  fi
}
trap cleanup EXIT

fail() { echo "test-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/tidemill" ] || fail "no executable in $prefix/bin"
page="$prefix/share/man/man1/tidemill.1"
[ -f "$page" ] || fail "no manual page in $prefix/share/man/man1"
warnings=$(groff -ww -man -Tutf8 -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
MANWIDTH=80 man -l "$page" 2>&1 | grep -q "^SYNOPSIS" || fail "man -l does not render the page"
version=$("$prefix/bin/tidemill" --version)
echo "installed into a prefix: $version"

(cd "$build" && rm -f tidemill_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$PWD/$build"/tidemill_*.deb)
cp "$deb" "$work/"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$work/$(basename "$deb")" >/dev/null
[ "$(/usr/bin/tidemill --version)" = "$version" ] || fail "the package's tidemill is not $version"
man -w tidemill >/dev/null || fail "man does not find the package's manual page"
(cd "$work" && /usr/bin/tidemill none.abr out.xml /batch /diagfile diag.xml)
grep -q "Defined input file does not exist." "$work/diag.xml" || fail "the package's tidemill wrote no diagnostics"
echo "installed from $(basename "$deb"): $(/usr/bin/tidemill --version)"
