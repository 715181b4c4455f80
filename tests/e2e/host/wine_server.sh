#!/usr/bin/env bash
# wine_server.sh start|stop PREFIX: the Wine the end-to-end tests share.
#
# start makes the throwaway prefix on first use and leaves a persistent
# wineserver running, so that each test's Wine starts in milliseconds instead
# of seconds.  stop ends that server and every Wine process of the prefix.
# Nothing of the test's own standard streams is handed to the server or to
# the services the first start leaves running: ctest would wait for them.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
fi
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES=winemenubuilder.exe=d
# The launcher is a 32-bit program; a 32-bit prefix needs no WoW64 layer.
export WINEARCH=win32

case $1 in
start)
    command -v wine >/dev/null || { echo "wine is not installed: run scripts/setup" >&2; exit 1; }
    mkdir -p "$WINEPREFIX"
    # Exits with 2 when a server of this prefix already runs; that one serves.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    if ! wineboot -i </dev/null >"$WINEPREFIX.log" 2>&1; then
        echo "wineboot failed for $WINEPREFIX:" >&2
        cat "$WINEPREFIX.log" >&2
        exit 1
    fi
    echo "wineserver running for $WINEPREFIX"
    ;;
stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    echo "wineserver stopped for $WINEPREFIX"
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
