#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the size parser's fuzzer for a bounded time, then the Windows build's tests under Wine
# and Xvfb (store tests against the real registry, the window, and the launcher end to end).
# Installs what is missing with apt-get first. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
export LC_ALL=C.UTF-8
. tools/common.sh

qx_install_missing

jobs=$(nproc)
step() { echo; echo "== $*"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

step "sanitizer build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

step "fuzzing the size parser"
tests/fuzz/run-fuzz.sh "${QX_FUZZ_SECONDS:-30}"

step "32-bit Windows release build and package"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target QXLauncher package_release
ctest --preset win32 -R ReleaseExecutable.ImportsSystemDllsOnly
ls -l build/win32/ui/QXLauncher.exe build/win32/QXLauncher-1.00-win32.zip

preset=$(qx_windows_run_preset)
if [ "$preset" = win64 ]; then
    echo "note: this host cannot run 32-bit programs (Wine's 32-bit loader fails), so the Windows-side tests run on"
    echo "      the 64-bit build of the same sources under wine64."
    cmake --preset win64 >/dev/null
fi
step "Windows build ($preset) and its tests under Wine and Xvfb"
cmake --build --preset "$preset" -j"$jobs"
prefix="$PWD/build/$preset/wineprefix"
stop_wine() {
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver64 -w >/dev/null 2>&1 || true
}
trap stop_wine EXIT
# Wine's desktop process binds to the display it first starts on, so the prefix's server is started afresh inside
# xvfb-run, and the prefix is made (once) there before tests use it in parallel.
stop_wine
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    cmake/wine-run.sh "$1" "build/$2/tests/store_tests.exe" --gtest_list_tests >/dev/null &&
    ctest --preset "$2" -j"$3"' sh "$prefix" "$preset" "$jobs"
stop_wine

step "all tests passed"
