#!/usr/bin/env bash
# Start-up benchmark of QXLauncher against the styled reference (the same window, controls and manifest without the
# launcher's logic) and an empty window of the same size, under Wine on a private Xvfb display.
#
#   bench/run.sh [PRESET]
#
# PRESET is win32 or win64; by default win32 where 32-bit Wine runs on this host, otherwise win64. Builds the
# launcher and the benchmark with that preset, runs StartupBench.exe in a Wine prefix of its own
# (build/PRESET/bench-prefix, never the user's) and prints the report with the machine it was measured on, then the
# size and imports of the timed exe and of the 32-bit release exe, as the toolchain's objdump reads them.
# QX_BENCH_ROUNDS sets the number of rounds (default 15); more give steadier medians on a busy machine.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/common.sh"

if [ $# -gt 1 ]; then
    echo "usage: bench/run.sh [win32|win64]" >&2
    exit 2
fi
if [ $# -eq 1 ]; then
    preset=$1
else
    preset=$(qx_windows_run_preset)
    if [ "$preset" = win64 ]; then
        echo "note: 32-bit Wine does not run on this host; measuring the 64-bit (win64) build instead"
    fi
fi
case "$preset" in
win32) wine=/usr/lib/wine/wine ;;
win64) wine=/usr/lib/wine/wine64 ;;
*)
    echo "bench/run.sh: unknown preset '$preset' (win32 or win64)" >&2
    exit 2
    ;;
esac

build=$root/build/$preset
prefix=$build/bench-prefix

cd "$root"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target QXLauncher bench_styled_window bench_empty_window startup_bench

work=$(mktemp -d)
cleanup() {
    qx_stop_xvfb
    if [ -f "$prefix/system.reg" ]; then
        server=/usr/lib/wine/wineserver64
        [ -x "$server" ] || server=/usr/lib/wine/wineserver
        WINEPREFIX=$prefix "$server" -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

qx_start_xvfb "$work" 1280x1024x24

# Wine sees the host's root as drive Z:.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

echo
echo "machine: $(uname -srm)"
echo "cpu:     $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores available"
echo "wine:    $("$wine" --version)"
echo "preset:  $preset"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) before the runs"
echo

status=0
"$root/cmake/wine-run.sh" "$prefix" "$build/bench/StartupBench.exe" \
    "$(winpath "$build/ui/QXLauncher.exe")" "$(winpath "$build/bench/StyledWindow.exe")" \
    "$(winpath "$build/bench/EmptyWindow.exe")" "${QX_BENCH_ROUNDS:-15}" || status=$?
echo "  load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

# image LABEL BUILD: the size, format and imported DLLs of BUILD's QXLauncher.exe, read by that build's objdump.
image() {
    local exe=$2/ui/QXLauncher.exe objdump size
    objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$2/CMakeCache.txt")
    size=$(stat -c %s "$exe")
    echo "  $1: $size bytes ($((size / 1024)) KB), $("$objdump" -f "$exe" | sed -n 's/.*file format //p')"
    echo "  $1 imports: $("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r' | sort -f |
        paste -sd ' ')"
}

echo
if [ "$preset" = win64 ]; then
    image "timed exe (64-bit)" "$build"
    # What ships is the 32-bit build: its size and imports, whichever build was timed.
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j2 --target QXLauncher >/dev/null
fi
image "release exe (32-bit)" "$root/build/win32"
size=$(stat -c %s "$root/build/win32/ui/QXLauncher.exe")
verdict=PASS
[ "$size" -le $((300 * 1024)) ] || verdict=FAIL
echo "  release exe target size <= 300 KB: $verdict"
exit $status
