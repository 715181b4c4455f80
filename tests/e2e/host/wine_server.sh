#!/usr/bin/env bash
# wine_server.sh start|stop PREFIX DESKTOP_PREFIX DISPLAY_FILE RACE_PREFIX:
# the Wines the end-to-end tests share.
#
# start makes each throwaway prefix on first use and leaves a persistent
# wineserver running for it, so that each test's Wine starts in milliseconds
# instead of seconds.  DESKTOP_PREFIX serves the cases that show a window: it
# gets a virtual X display (Xvfb), whose number goes to DISPLAY_FILE, and its
# desktop is set up on that display before any case runs.  RACE_PREFIX
# serves the cases that end a launcher the moment its command is created,
# which can crash Wine's server (see waiting_test.cpp): its crash must take
# no other case's Wine with it.  stop ends the servers, every Wine process
# of the prefixes, a crashed server's too, and the display, and fails when a
# process of the prefixes is still alive afterwards.  Nothing of
# the test's own standard streams is handed to a server, to the services the
# first start leaves running or to Xvfb: ctest would wait for them.
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 start|stop PREFIX DESKTOP_PREFIX DISPLAY_FILE RACE_PREFIX" >&2
    exit 2
fi
action=$1 prefix=$2 desktop_prefix=$3 display_file=$4 race_prefix=$5
stop_wine=$(dirname "$0")/../../../scripts/stop_wine_prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=winemenubuilder.exe=d
# A 64-bit prefix, as on today's Windows: the 64-bit builds run natively,
# the 32-bit ones through WoW64, with System32 redirected for them.
export WINEARCH=win64
unset DISPLAY

# Wine's first boot of a new 64-bit prefix fails now and then on a loaded
# machine (seen once in a whole run: "could not load kernel32.dll" from the
# prefix started beside two others); a prefix whose boot failed is made anew
# once before the start gives up.
start_prefix() {
    export WINEPREFIX=$1
    # A prefix an earlier version made 32-bit cannot serve: made anew.
    if grep -qs '^#arch=win32' "$WINEPREFIX/system.reg"; then
        rm -rf "$WINEPREFIX"
    fi
    for attempt in 1 2; do
        mkdir -p "$WINEPREFIX"
        # Exits with 2 when a server of this prefix already runs; that one serves.
        wineserver -p </dev/null >/dev/null 2>&1 || true
        if wineboot -i </dev/null >"$WINEPREFIX.log" 2>&1; then
            echo "wineserver running for $WINEPREFIX"
            return 0
        fi
        echo "wineboot failed for $WINEPREFIX (attempt $attempt):" >&2
        cat "$WINEPREFIX.log" >&2
        "$stop_wine" "$WINEPREFIX" >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    done
    return 1
}

start_display() {
    command -v Xvfb >/dev/null || { echo "Xvfb is not installed: run scripts/setup" >&2; return 1; }
    rm -f "$display_file" "$display_file.pid"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$display_file.pid"
    for _ in $(seq 1 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$(cat "$display_file")
    start_prefix "$desktop_prefix"
    # The first program with a window sets the desktop up; done here, no
    # case pays for it.
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    echo "desktop on display $DISPLAY for $desktop_prefix"
}

case $action in
start)
    command -v wine >/dev/null || { echo "wine is not installed: run scripts/setup" >&2; exit 1; }
    # The prefixes are independent: prepared side by side.
    start_prefix "$prefix" &
    start_display &
    start_prefix "$race_prefix" &
    status=0
    wait -n || status=1
    wait -n || status=1
    wait -n || status=1
    exit $status
    ;;
stop)
    status=0
    "$stop_wine" "$prefix" "$desktop_prefix" "$race_prefix" || status=1
    if [ -s "$display_file.pid" ]; then
        kill "$(cat "$display_file.pid")" 2>/dev/null || true
    fi
    rm -f "$display_file" "$display_file.pid"
    exit $status
    ;;
*)
    echo "usage: $0 start|stop PREFIX DESKTOP_PREFIX DISPLAY_FILE RACE_PREFIX" >&2
    exit 2
    ;;
esac
