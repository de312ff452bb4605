#!/usr/bin/env bash
# The Wine side of the Windows test build: one prefix per build folder, created once, and one
# persistent Wine server per test run.
#
#   wine-env.sh up PREFIX                 create PREFIX if needed, start its server
#   wine-env.sh fresh PREFIX              stop, delete and create PREFIX anew, start its server
#   wine-env.sh down PREFIX               stop PREFIX's server and wait until it has exited
#   wine-env.sh run PREFIX PROGRAM ARG... run a Windows program in PREFIX (CTest's emulator)
#
# `run` prints the program's standard output with Unix line ends (Windows programs write CRLF,
# which would end up in test names that CTest reads from a listing) and exits with its code.
set -u

wine64=${WINE64:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
# A server outlives its last program this long, so one started by a lone `run` ends by itself.
server_linger_seconds=120

die() {
    echo "wine-env.sh: $*" >&2
    exit 125
}

# Settings for every Wine call: quiet, no display, no prompts to install Mono or Gecko.
use_prefix() {
    [ -n "${1:-}" ] || die "no prefix given"
    case "$1" in
        /*) WINEPREFIX=$1 ;;
        *) WINEPREFIX=$PWD/$1 ;;
    esac
    export WINEPREFIX
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY=
    unset WAYLAND_DISPLAY
    ready_marker=$WINEPREFIX/.cellkeeper-ready
    boot_log=$WINEPREFIX.boot.log
}

server_stop() {
    if [ -e "$WINEPREFIX" ]; then
        "$wineserver" -k >/dev/null 2>&1
        "$wineserver" -w >/dev/null 2>&1
    fi
    return 0
}

# Must hold the prefix lock. A new server also gets Wine's own background processes (services,
# device drivers) started here, detached from our output: started by a test program they would
# inherit its output pipes, and CTest would wait for them until the server ends.
server_start() {
    if "$wineserver" -p"$server_linger_seconds" </dev/null >/dev/null 2>&1 9>&-; then
        "$wine64" wineboot </dev/null >/dev/null 2>&1 9>&-
    fi
    return 0
}

prefix_up() {
    [ -f "$ready_marker" ] || create_prefix
    server_start
}

prefix_fresh() {
    create_prefix
    server_start
}

# Must hold the prefix lock. A prefix without the marker is a half-made one: start over.
create_prefix() {
    server_stop
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    echo "wine-env.sh: creating the Wine prefix $WINEPREFIX" >&2
    if ! "$wine64" wineboot -i </dev/null >"$boot_log" 2>&1 9>&- ||
        ! "$wineserver" -w >>"$boot_log" 2>&1 ||
        [ ! -f "$WINEPREFIX/system.reg" ]; then
        cat "$boot_log" >&2
        die "could not create the Wine prefix $WINEPREFIX"
    fi
    touch "$ready_marker"
}

# Runs the rest of the command under the prefix's lock, so that parallel callers create the
# prefix and start the server once. Wine's long-lived processes get the lock's descriptor closed.
with_lock() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9 || die "could not lock $WINEPREFIX.lock"
    "$@"
    flock -u 9
    exec 9>&-
}

[ -x "$wine64" ] || die "$wine64 not found (Debian package wine64)"
command="${1:-}"
shift || true
case "$command" in
    up)
        use_prefix "${1:-}"
        with_lock prefix_up
        ;;
    fresh)
        use_prefix "${1:-}"
        with_lock prefix_fresh
        ;;
    down)
        use_prefix "${1:-}"
        server_stop
        ;;
    run)
        use_prefix "${1:-}"
        shift
        [ $# -gt 0 ] || die "run: no program given"
        with_lock prefix_up
        "$wine64" "$@" | sed 's/\r$//'
        exit "${PIPESTATUS[0]}"
        ;;
    *)
        die "usage: wine-env.sh up|fresh|down PREFIX, or wine-env.sh run PREFIX PROGRAM [ARG...]"
        ;;
esac
