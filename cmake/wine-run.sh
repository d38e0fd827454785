#!/usr/bin/env bash
# Runs a Windows program under Wine in a disposable prefix, made on first use:
#   wine-run.sh PREFIX PROGRAM [ARGS...]    runs it (CTest's emulator for the Windows builds)
#   wine-run.sh PREFIX --start | --stop     (re)starts or ends the prefix's server (CTest's wine fixture)
# The server lingers 60 s after its last program, so a run's programs share it. Wine's desktop binds to the X display
# the server first met: a server started on another display (or none, as when CTest lists the tests) is restarted.
set -e
prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
server=/usr/lib/wine/wineserver64
stop() { "$server" -k >/dev/null 2>&1 9>&- || true; "$server" -w >/dev/null 2>&1 9>&- || true; }
if [ "$1" = --stop ]; then
    stop
    exit
fi

# 32- or 64-bit program: the PE header's machine field picks the loader. Wine's own programs (regedit) run 64-bit.
. "$(dirname "$0")/../tools/common.sh"
loader=$(qx_wine_loader "$1")
[ "$loader" = /usr/lib/wine/wine ] || export WINELOADER=$loader

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ "$(cat "$prefix.display" 2>/dev/null)" != "${DISPLAY:-none}" ]; then
        stop
        echo "${DISPLAY:-none}" >"$prefix.display"
    fi
    # What is started here outlives the lock, and so must not hold it.
    [ -f "$prefix/system.reg" ] || WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 9>&- ||
        true
    # Wine's background processes (server, services) outlive the program and inherit its output: were that a pipe,
    # its reader (CTest) would wait for them. So the server is started detached, and the program writes to a file.
    "$server" -p60 </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"
[ "$1" != --start ] || exit 0
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# Ending this wrapper ends the program too.
"$loader" "$@" >"$output" 2>&1 &
child=$!
trap 'kill "$child" 2>/dev/null' INT TERM
status=0
while :; do
    status=0
    wait "$child" || status=$?
    kill -0 "$child" 2>/dev/null || break
done
cat "$output"
exit $status
