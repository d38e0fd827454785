#!/usr/bin/env bash
# Builds everything and runs every test, installing what is missing with apt-get first; exits non-zero on any
# failure. Each stage is one CMake workflow, CTest preset or script: native asan fuzz windows clang kit run emulated
# (the last where Wine's 32-bit loader cannot run natively: the 32-bit release exe under qemu). docs/DEVELOPING.md
# says what each runs. QX_SKIP="native asan fuzz" leaves out those stages while working on the others.
set -euo pipefail
cd "$(dirname "$0")"
export LC_ALL=C.UTF-8
. tools/common.sh
qx_refuse_sudo ./test.sh

qx_install_missing $QX_TEST_PACKAGES
# Debian 12 and 13 differ in Wine (8, 10) and binutils (2.40, 2.44): this says which the tests below ran with.
echo "== Debian $(cat /etc/debian_version): $(/usr/lib/wine/wine64 --version)," \
    "$(i686-w64-mingw32-gcc --version | sed -n 1p), $(i686-w64-mingw32-objdump --version | sed -n 1p)"

# stage NAME TITLE: whether to run it; says so either way.
stage() {
    case " ${QX_SKIP:-} " in *" $1 "*) echo; echo "== $1: skipped (QX_SKIP)"; return 1 ;; esac
    echo; echo "== $1 (from ${SECONDS} s): $2"
}
on_display() { xvfb-run -a -s "-screen 0 1024x768x24" "$@"; }
jobs=$(nproc)
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs" "${@:2}"; }
preset=$(qx_windows_run_preset)

if stage native "the portable core and its tests"; then cmake --workflow --preset native; fi
if stage asan "the same under AddressSanitizer and UndefinedBehaviorSanitizer"; then cmake --workflow --preset asan; fi
if stage fuzz "fuzzing the size parser"; then cmake --workflow --preset fuzz; fi

if stage windows "the 32-bit release build and package, the test kit, and the Windows tests ($preset)"; then
    build win32 --target all package_release package_tests
    ls -l build/win32/ui/QXLauncher.exe build/win32/QXLauncher-1.00-win32.zip
    if [ "$preset" = win64 ]; then
        echo "note: Wine's 32-bit loader does not run natively on this host, so the Windows-side tests run on the" \
            "64-bit build of the same sources; build/win32 runs its release checks only."
        ctest --preset win32
        build win64 --target all package_tests
    fi
    on_display ctest --preset "$preset"
fi

if stage clang "every Windows target by clang and lld, warnings as errors; the 64-bit suite under Wine"; then
    build win32-clang; build win64-clang; ctest --preset win32-clang
    on_display ctest --preset win64-clang
fi

if stage kit "the Windows test kit ($preset), unzipped into a new prefix and run by cmd from a clean environment"; then
    tests/kit/run-under-wine.sh "$preset"
fi
if stage run "run.sh without an X display: on a new demo install, twice at once, with a launcher that fails"; then
    tools/check-run.sh "$preset"
fi

if [ "$preset" = win32 ]; then
    echo "32-bit: Wine's 32-bit loader runs natively, so the Windows tests above ran on the 32-bit release build"
elif stage emulated "the 32-bit release exe under emulation" && qx_setup_i386_emulation; then
    on_display ctest --preset win64-emulated
fi

echo; echo "== all tests passed in ${SECONDS} s"
