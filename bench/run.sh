#!/usr/bin/env bash
# Start-up benchmark (bench/README.md): bench/run.sh [win32|win64]. Builds the launcher and the benchmark with that
# preset (by default win32 where 32-bit Wine runs natively, else win64), runs StartupBench.exe in a Wine prefix of
# its own (build/PRESET/bench-prefix) on a private Xvfb, and prints the report with the machine it was measured on,
# then the size and imports of the timed exe and of the 32-bit release exe. QX_BENCH_ROUNDS: rounds (15).
set -eu
cd "$(dirname "$0")/.."
. tools/common.sh
preset=${1:-$(qx_windows_run_preset)}
case "$#:$preset" in
[01]:win32 | [01]:win64) ;;
*) echo "usage: bench/run.sh [win32|win64]" >&2; exit 2 ;;
esac
build=$PWD/build/$preset
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target QXLauncher bench_styled_window bench_empty_window startup_bench
# What ships is the 32-bit build: its size and imports are reported whichever build is timed.
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target QXLauncher >/dev/null

work=$(mktemp -d)
trap 'qx_stop_xvfb; cmake/wine-run.sh "$build/bench-prefix" --stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
qx_start_xvfb "$work" 1280x1024x24
echo
echo "machine: $(uname -srm)"
echo "cpu:     $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores available"
echo "wine:    $(/usr/lib/wine/wine64 --version)"
echo "preset:  $preset"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) before the runs"
echo
status=0
cmake/wine-run.sh "$build/bench-prefix" "$build/bench/StartupBench.exe" "$(qx_windows_path "$build/ui/QXLauncher.exe")" \
    "$(qx_windows_path "$build/bench/StyledWindow.exe")" "$(qx_windows_path "$build/bench/EmptyWindow.exe")" \
    "${QX_BENCH_ROUNDS:-15}" || status=$?
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
[ "$preset" = win32 ] || image "timed exe (64-bit)" "$build"
image "release exe (32-bit)" "$PWD/build/win32"
[ "$(stat -c %s build/win32/ui/QXLauncher.exe)" -le $((300 * 1024)) ] && verdict=PASS || verdict=FAIL
echo "  release exe target size <= 300 KB: $verdict"
exit $status
