#!/bin/sh
# Makes the Wine prefix the windows tests run in, once: wine_prefix.sh PREFIX WINESERVER
set -e
export WINEPREFIX="$1" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || true
    "$2" -w
fi
test -f "$WINEPREFIX/system.reg"
