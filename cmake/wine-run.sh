#!/usr/bin/env bash
# Runs a Windows program under Wine in a disposable prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use; a wineserver is kept alive between runs (test.sh ends it).
set -e
prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="

# 32- or 64-bit program: the PE header's machine field picks the loader. Wine's own programs (regedit) run 64-bit.
. "$(dirname "$0")/../tools/common.sh"
loader=$(qx_wine_loader "$1")
[ "$loader" = /usr/lib/wine/wine ] || export WINELOADER=$loader

mkdir -p "$(dirname "$prefix")"
if [ ! -f "$prefix/system.reg" ]; then
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
        fi
    ) 9>"$prefix.lock"
fi
# Wine's background processes (server, services) outlive the program and inherit its output: were that a pipe,
# its reader (CTest) would wait for them. So the server is started detached, and the program writes to a file.
/usr/lib/wine/wineserver64 -p60 </dev/null >/dev/null 2>&1 || true
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
