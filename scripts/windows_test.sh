#!/usr/bin/env bash
# Runs the Windows build's tests under Wine in a prefix of its own (BUILD_DIR/wine). The first
# run creates the prefix (about 20 s).
# Usage: scripts/windows_test.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
shift
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows_test: creating the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i
fi
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# One server for the whole run, started with the prefix's services before any test: a server left
# to exit whenever its last program ends can go away just as the next program connects ("recvmsg:
# Connection reset by peer"). The server of the prefix's first boot is waited out first.
"$wineserver" -w
"$wineserver" -p
"$wine" wineboot
ctest --test-dir "$build" -j "${JOBS:-2}" --output-on-failure "$@"
