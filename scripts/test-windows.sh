#!/usr/bin/env bash
# Cross-builds tidemill.exe and its tests (scripts/build-windows.sh) and runs the whole suite
# under Wine through CTest, in a Wine prefix kept in build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
export WINEPREFIX=$PWD/build-windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The prefix is made once (about ten seconds); the Wine server stays up for the whole run, so
# that each test process starts in a tenth of a second.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
/usr/lib/wine/wineserver -p 2>/dev/null || true
status=0
ctest --test-dir build-windows --output-on-failure -j2 || status=$?
/usr/lib/wine/wineserver -k || true
exit "$status"
