#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the size parser's fuzzer for a bounded time, then the Windows build's tests under Wine
# and Xvfb (store tests against the real registry, the window, and the launcher end to end), the Windows test kit as a
# tester's Windows runs it, and run.sh as on a fresh machine without a display. Where Wine's 32-bit loader cannot run
# natively, the Windows tests and the kit run on the 64-bit build, and then the 32-bit release exe and store suite run
# under qemu's emulation (set up here when possible).
# Installs what is missing with apt-get first. Exits non-zero on any failure.
# QX_SKIP="native asan fuzz" leaves out those stages while working on the others (the others: windows, kit, run,
# emulated).
set -euo pipefail
cd "$(dirname "$0")"
export LC_ALL=C.UTF-8
. tools/common.sh
qx_refuse_sudo ./test.sh

qx_install_missing $QX_TEST_PACKAGES
# Debian 12 and 13 differ in Wine (8, 10) and binutils (2.40, 2.44): this says which the tests below ran with.
echo "== Debian $(cat /etc/debian_version): $(/usr/lib/wine/wine64 --version)," \
    "$(i686-w64-mingw32-gcc --version | sed -n 1p), $(i686-w64-mingw32-objdump --version | sed -n 1p)"

jobs=$(nproc)
step() { echo; echo "== $*"; }
skipped() { case " ${QX_SKIP:-} " in *" $1 "*) echo; echo "== $1: skipped (QX_SKIP)"; return 0 ;; esac; return 1; }

if ! skipped native; then
    step "native build and tests"
    cmake --preset native >/dev/null
    cmake --build --preset native -j"$jobs"
    ctest --preset native -j"$jobs"
fi

if ! skipped asan; then
    step "sanitizer build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
    cmake --preset asan >/dev/null
    cmake --build --preset asan -j"$jobs"
    ctest --preset asan -j"$jobs"
fi

if ! skipped fuzz; then
    step "fuzzing the size parser"
    tests/fuzz/run-fuzz.sh "${QX_FUZZ_SECONDS:-30}"
fi

step "32-bit Windows release build and package, and the 32-bit test kit"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target QXLauncher package_release package_tests
ctest --preset win32 -R '^(ReleaseExecutable|TestKit)\.'
ls -l build/win32/ui/QXLauncher.exe build/win32/QXLauncher-1.00-win32.zip

preset=$(qx_windows_run_preset)
if [ "$preset" = win64 ]; then
    echo "note: Wine's 32-bit loader does not run natively on this host, so the Windows-side tests run on the 64-bit"
    echo "      build of the same sources under wine64; the 32-bit release exe follows under emulation."
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
if ! skipped windows; then
    stop_wine
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
        cmake/wine-run.sh "$1" "build/$2/tests/store_tests.exe" --gtest_list_tests >/dev/null &&
        ctest --preset "$2" -j"$3"' sh "$prefix" "$preset" "$jobs"
    stop_wine
    # The window tests again at 120 DPI, as one process, in a copy of the build's prefix whose LogPixels is set before
    # its server starts (about 60 s); the kit stage runs them at 144. The screen is the size such displays have. Every
    # case passes at 96 too, so the stage fails unless the program says it ran at this DPI.
    for dpi in 120; do
        dpi_prefix="$PWD/build/$preset/dpi$dpi-prefix" dpi_log="$PWD/build/$preset/form1_tests-$dpi.txt"
        trap 'WINEPREFIX="$dpi_prefix" /usr/lib/wine/wineserver64 -k >/dev/null 2>&1; stop_wine' EXIT
        rm -rf "$dpi_prefix"
        cp -a "$prefix" "$dpi_prefix"
        start=$(date +%s) dpi_status=0
        xvfb-run -a -s "-screen 0 1920x1080x24" sh -c '
            cmake/wine-run.sh "$1" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$2" /f \
                >/dev/null && WINEPREFIX="$1" /usr/lib/wine/wineserver64 -k && WINEPREFIX="$1" /usr/lib/wine/wineserver64 -w &&
                cmake/wine-run.sh "$1" "build/$3/tests/form1_tests.exe"' sh "$dpi_prefix" "$dpi" "$preset" \
            >"$dpi_log" 2>&1 || dpi_status=$?
        WINEPREFIX="$dpi_prefix" /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
        WINEPREFIX="$dpi_prefix" /usr/lib/wine/wineserver64 -w >/dev/null 2>&1 || true
        trap stop_wine EXIT
        cat "$dpi_log"
        ran=$(sed -n 's/\r$//; /^window tests ran at .* DPI$/p' "$dpi_log")
        if [ "$dpi_status" -ne 0 ] || [ "$ran" != "window tests ran at $dpi DPI" ]; then
            echo "the window tests at $dpi DPI failed (exit status $dpi_status) or did not say they ran at $dpi DPI" \
                "(they said: ${ran:-nothing})" >&2
            exit 1
        fi
        echo "window tests at $dpi DPI: $(($(date +%s) - start)) s"
    done
fi

# The test kit as a tester's Windows runs it: unzipped into a folder whose name has a blank and Chinese characters the
# prefix's code page lacks, then into one with a blank and characters it holds, in a new prefix at 144 DPI (150 %, as
# many laptops) with no drive for the Unix root, so only what the zip holds can be found, and started as
# "cmd /c run-tests.cmd" from an environment with only what Wine needs (no QX_ variable, no Unix path). Every case
# CTest runs must pass in each, but those listed below, which must say why they skip, and the window tests must say
# they ran at 144 DPI.
kit_skips=(
    "LauncherEndToEnd.GameOnAnotherDriveStartsDespiteAStaleDriveDirectoryAndIsNotWaitedFor: needs a second drive"
    "InstallFolders/LauncherInLocale.TheGameIsFoundExactlyWhenTheLocaleHoldsItsFolderName/*: picks a Unix locale"
)
if ! skipped kit; then
    step "the Windows test kit ($preset), unzipped into a new prefix and run by cmd from a clean environment"
    cmake --build --preset "$preset" -j"$jobs" --target package_tests
    kit_prefix="$PWD/build/$preset/kit-prefix" kit_log="$PWD/build/$preset/kit-run.txt"
    # A new prefix sets up its 32-bit half, minutes where that runs emulated: each run gets a copy of one made once
    # and never used.
    kit_template="$kit_prefix-new"
    zip="$PWD/build/$preset/QXLauncher-1.00-$preset-tests.zip"
    stop_kit() {
        for p in "$kit_template" "$kit_prefix"; do
            WINEPREFIX="$p" /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
        done
    }
    trap 'stop_kit; stop_wine' EXIT
    rm -rf "$kit_prefix"
    start=$(date +%s) kit_status=0
    # CTest lists its GoogleTest cases by running the programs, in the build's prefix: on this display too.
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        preset=$1 kit_prefix=$2 zip=$3 log=$4 build_prefix=$5 template=$6 loader=/usr/lib/wine/wine
        [ "$preset" = win64 ] && loader=/usr/lib/wine/wine64
        ctest --preset "$preset" --show-only=json-v1 >"$log.ctest.json" || exit 1
        WINEPREFIX="$build_prefix" /usr/lib/wine/wineserver64 -k >/dev/null 2>&1
        # clean PREFIX PROGRAM...: Wine with only what it needs in its environment.
        clean() {
            env -i HOME="$HOME" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" LANG=C.UTF-8 \
                WINEPREFIX="$1" WINELOADER="$loader" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
                "$loader" "${@:2}"
        }
        if [ ! -f "$template/.qx-new-144" ]; then
            rm -rf "$template"
            clean "$template" wineboot -i >/dev/null 2>&1 &&
                clean "$template" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d 144 /f \
                    >/dev/null 2>&1 &&
                WINEPREFIX="$template" /usr/lib/wine/wineserver64 -w && touch "$template/.qx-new-144" || exit 1
        fi
        cp -a "$template" "$kit_prefix" && rm "$kit_prefix/.qx-new-144" "$kit_prefix/dosdevices/z:" || exit 1
        status=0
        for kit in "$kit_prefix/drive_c/测试 套件" "$kit_prefix/drive_c/qx kit été"; do
            echo "== the kit in ${kit#"$kit_prefix/drive_c/"}"
            mkdir -p "$kit" && unzip -q "$zip" -d "$kit" || exit 1
            kit="$kit/$(basename "$zip" .zip)"
            (cd "$kit" && clean "$kit_prefix" cmd /c run-tests.cmd </dev/null) || status=1
            ran=$(sed -n "s/\r\$//; /^window tests ran at .* DPI\$/p" "$kit/form1_tests.txt")
            echo "form1_tests.txt: ${ran:-no line saying the DPI the window tests ran at}"
            [ "$ran" = "window tests ran at 144 DPI" ] || status=1
        done
        exit $status' \
        sh "$preset" "$kit_prefix" "$zip" "$kit_log" "$prefix" "$kit_template" >"$kit_log" 2>&1 || kit_status=$?
    stop_kit
    stop_wine
    cat "$kit_log"
    cases=$(grep -o '"--gtest_filter=' "$kit_log.ctest.json" | wc -l)
    summary='s/^\([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped\r*$/\1 \2 \3/p'
    # Both runs' totals, which must be the same.
    totals=$(sed -n "$summary" "$kit_log")
    read -r passed failed kit_skipped <<<"$totals" || true
    [ "$(wc -l <<<"$totals")" -eq 2 ] && [ "$(sort -u <<<"$totals" | wc -l)" -eq 1 ] || failed=1
    unlisted=$(sed -n 's/\r$//; s/^    skipped //p' "$kit_log" | while IFS= read -r skip; do
        listed=""
        for allowed in "${kit_skips[@]}"; do
            # shellcheck disable=SC2053 # the list holds patterns
            [[ $skip == ${allowed%%: *}": "${allowed#*: }* ]] && listed=1
        done
        [ -n "$listed" ] || echo "    $skip"
    done)
    if [ "$kit_status" -ne 0 ] || [ "${failed:-1}" -ne 0 ] || [ "${passed:-0}" -ne $((cases - kit_skipped)) ] ||
        [ -n "$unlisted" ]; then
        echo "the test kit failed (exit status $kit_status), its counts differ between its two folders or are not" \
            "CTest's $cases GoogleTest cases less its ${kit_skipped:-?} skipped, or it skipped cases not listed in" \
            "test.sh:${unlisted:+$'\n'$unlisted}" >&2
        exit 1
    fi
    echo "test kit: $passed passed, $kit_skipped skipped (as listed) of CTest's $cases cases in each of its two" \
        "folders, at 144 DPI with no Z: drive, in $(($(date +%s) - start)) s"
fi

# run.sh as on a fresh machine without a display: it makes the demo install, and the launcher's window must appear in
# it; then two runs at once on that install, each on a display of its own; then a launcher that exits at once, which
# must fail the run and leave nothing it started running.
if ! skipped run; then
    step "run.sh without an X display: on a new demo install, twice at once, and with a launcher that exits at once"
    demo="$PWD/build/$preset/run-check-prefix" said="$PWD/build/$preset/run-check"
    rm -rf "$demo" "$demo.lock" "$demo.users" "$said"
    mkdir -p "$said"
    # run_headless NAME [VAR=VALUE...]: run.sh with no display on the check's demo install; its output goes to
    # $said/NAME.txt, its exit status to $said/NAME.status.
    run_headless() {
        local name=$1 status=0
        shift
        env -u DISPLAY -u WINEPREFIX -u QX_LAUNCHER_EXE QX_DEMO_PREFIX="$demo" "$@" "$top/run.sh" \
            >"$said/$name.txt" 2>&1 || status=$?
        echo "$status" >"$said/$name.status"
        sed "s/^/[$name] /" "$said/$name.txt"
    }
    showed_window() {
        [ "$(cat "$said/$1.status")" = 0 ] && grep -q "^window appeared: \"$QX_CAPTION\"" "$said/$1.txt" &&
            [ "$(convert "$build_dir/run-screenshot.png" -format %k info: || echo 0)" -gt 50 ]
    }
    top=$PWD build_dir="$PWD/build/$preset"
    # Started through sudo, it stops before doing anything.
    if [ "$(id -u)" -eq 0 ]; then
        run_headless sudo SUDO_USER=qx-check
        if [ "$(cat "$said/sudo.status")" = 0 ] || ! grep -q "not under sudo: run it as qx-check" "$said/sudo.txt"; then
            echo "run.sh under sudo did not stop" >&2
            exit 1
        fi
    fi
    # The first run names its demo install relative to the folder it starts in.
    (cd "$build_dir" && run_headless first QX_DEMO_PREFIX=run-check-prefix)
    if ! showed_window first || [ ! -f "$demo/.qx-demo" ]; then
        echo "run.sh did not show the launcher's window on its demo install $demo" >&2
        exit 1
    fi
    # Meanwhile another X server holds the first number from 90 whose files /tmp lacks, as one in a chroot or another
    # mount namespace does (X clients reach it through its abstract socket all the same): no run may land on it. Its
    # files are removed only once its lock names its own pid: the number was free before, so they are its own, never
    # those of a server that took the number meanwhile.
    decoy=89 decoy_pid=""
    trap 'kill "$decoy_pid" 2>/dev/null; stop_wine' EXIT
    while [ -z "$decoy_pid" ]; do
        decoy=$((decoy + 1))
        [ ! -e "/tmp/.X11-unix/X$decoy" ] && [ ! -e "/tmp/.X$decoy-lock" ] || continue
        Xvfb ":$decoy" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
        decoy_pid=$!
        # A number held through its abstract socket alone, or taken by another server meanwhile, makes this Xvfb
        # end: the next one is tried.
        until [ -S "/tmp/.X11-unix/X$decoy" ] &&
            [ "$(tr -d ' \n' <"/tmp/.X$decoy-lock" 2>/dev/null)" = "$decoy_pid" ] || ! kill -0 "$decoy_pid" 2>/dev/null
        do sleep 0.1; done
        kill -0 "$decoy_pid" 2>/dev/null || { wait "$decoy_pid" 2>/dev/null || true; decoy_pid=""; }
    done
    rm -f "/tmp/.X11-unix/X$decoy" "/tmp/.X$decoy-lock"
    run_headless together-1 &
    first=$!
    run_headless together-2
    wait "$first"
    if ! kill "$decoy_pid" 2>/dev/null; then
        echo "the X server on :$decoy ended during the two runs, so they did not meet a number held elsewhere" >&2
        exit 1
    fi
    wait "$decoy_pid" 2>/dev/null || true
    trap stop_wine EXIT
    displays=$(sed -n 's/^== no X display: running on a private Xvfb, \(:[0-9]*\),.*/\1/p' "$said"/together-*.txt |
        sort -u)
    if ! showed_window together-1 || ! showed_window together-2 || [ "$(echo "$displays" | wc -l)" -ne 2 ] ||
        [[ $'\n'$displays$'\n' == *$'\n':$decoy$'\n'* ]]; then
        echo "two runs of run.sh at once did not both show the window, each on its own display ($displays; another" \
            "server held :$decoy)" >&2
        exit 1
    fi
    # The processes a run started, wherever they are now: all inherit QX_DEMO_PREFIX from run_headless, and nothing
    # else on the machine has it.
    run_processes() { qx_processes_with "QX_DEMO_PREFIX=$demo"; }
    # A launcher that exits at once (hostname.exe), and one that hangs before its window and so does not end with the
    # X display (never_shows.exe), on the install used as a player's own prefix whose server is already running: each
    # run fails, saying why, and ends what it started in Wine (the desktop, cmd.exe and the program), never the
    # prefix's server.
    WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -p
    trap 'WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -k 2>/dev/null; stop_wine' EXIT
    server=""
    for pid in $(pgrep -x wineserver64 || true); do
        if grep -q -z -x -F "WINEPREFIX=$demo" "/proc/$pid/environ" 2>/dev/null; then server=$pid; break; fi
    done
    if [ -z "$server" ]; then
        echo "no wineserver64 runs with WINEPREFIX=$demo after wineserver -p: the runs below would not be checked" \
            "against the prefix's server" >&2
        exit 1
    fi
    cmake/wine-run.sh "$demo" hostname >/dev/null # starts its services
    fails_cleanly() {
        local name=$1 exe=$2 reason=$3 left=""
        run_headless "$name" WINEPREFIX="$demo" QX_LAUNCHER_EXE="$exe"
        for _ in $(seq 1 50); do
            left=$(run_processes)
            [ -n "$left" ] || break
            sleep 0.2
        done
        if [ "$(cat "$said/$name.status")" = 0 ] || ! grep -q "^$reason" "$said/$name.txt"; then
            echo "run.sh did not fail, saying \"$reason\", on ${exe##*/} as the launcher" >&2
            exit 1
        elif [ -n "$left" ] || ! kill -0 "$server"; then
            echo "run.sh with ${exe##*/} left processes running, or ended the prefix's server:" >&2
            echo "$left" >&2
            exit 1
        fi
    }
    fails_cleanly quick "$demo/drive_c/windows/system32/hostname.exe" "the launcher ended before its window appeared"
    fails_cleanly stuck "$build_dir/tests/never_shows.exe" "no window titled"
    WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -k
    WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -w
    trap stop_wine EXIT
    echo "run.sh: window shown on a new demo install and by two runs at once on $(echo $displays); a launcher that" \
        "exits at once or never shows fails the run, and what the run started is ended, the prefix's server is not"
    rm -rf "$demo" "$demo.lock" "$demo.users"
fi

# The exe players download is i686. Where the 32-bit loader runs natively the suite above ran on it; elsewhere it
# runs under qemu: the store suite against the real registry as one process (each 32-bit start costs about a
# minute), beside a chosen set of end-to-end cases on the release QXLauncher.exe, driven by the 64-bit test program,
# then run.sh without a display on that exe.
if [ "$preset" = win32 ]; then
    echo "32-bit: Wine's 32-bit loader runs natively, so the Windows tests above ran on the 32-bit release build"
elif ! skipped emulated && qx_setup_i386_emulation; then
    step "32-bit release exe under emulation: store suite and end-to-end cases"
    # The 32-bit store suite gets a build tree of its own: in build/win32, CTest would list its tests under emulation.
    emulated="$PWD/build/win32-emulated"
    cmake --preset win32 -B "$emulated" >/dev/null
    cmake --build "$emulated" -j"$jobs" --target store_tests
    prefix="$emulated/wineprefix"
    log="$emulated/logs"
    mkdir -p "$log"
    stop_wine
    # The first 32-bit process in a prefix sets up its 32-bit half, minutes under emulation: the prefix is kept.
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
        prefix=$1 log=$2
        start=$(date +%s)
        if [ ! -f "$prefix/.qx-32bit" ]; then
            cmake/wine-run.sh "$prefix" wineboot >/dev/null && touch "$prefix/.qx-32bit" || exit 1
            echo "32-bit prefix set up in $(($(date +%s) - start)) s"
        fi
        start=$(date +%s)
        (timeout 900 cmake/wine-run.sh "$prefix" build/win32-emulated/tests/store_tests.exe >"$log/store.txt" 2>&1
         echo $? >"$log/store.status"
         echo "store suite (32-bit, one process): $(($(date +%s) - start)) s" >>"$log/store.txt") &
        cases="LauncherEndToEnd.JapaneseFullScreen*:LauncherEndToEnd.ChineseWindowed*"
        cases="$cases:LauncherEndToEnd.MissingExecutable*:ReleaseExecutable.*"
        QX_LAUNCHER_EXE=$PWD/build/win32/ui/QXLauncher.exe QX_E2E_TIME_SCALE=${QX_E2E_TIME_SCALE:-16} \
            timeout 1800 cmake/wine-run.sh "$prefix" build/win64/tests/e2e_tests.exe --gtest_filter="$cases" \
            >"$log/e2e.txt" 2>&1
        e2e=$?
        echo "end-to-end cases on the 32-bit QXLauncher.exe: $(($(date +%s) - start)) s" >>"$log/e2e.txt"
        wait
        cat "$log/store.txt" "$log/e2e.txt"
        [ "$e2e" -eq 0 ] && [ "$(cat "$log/store.status")" -eq 0 ]' sh "$prefix" "$log"
    stop_wine
    # run.sh without a display on the 32-bit release exe, under the 32-bit loader as on a host that runs it natively
    # (where Wine 10 once drew it below the screen), on a demo install copied from the prefix whose 32-bit half is set
    # up.
    start=$(date +%s)
    rm -rf "$emulated/run-prefix" "$emulated/run-prefix.users"
    cp -a "$prefix" "$emulated/run-prefix"
    env -u DISPLAY -u WINEPREFIX QX_DEMO_PREFIX="$emulated/run-prefix" QX_WINDOW_WAIT=900 \
        QX_LAUNCHER_EXE="$PWD/build/win32/ui/QXLauncher.exe" ./run.sh
    echo "run.sh without a display on the 32-bit QXLauncher.exe: $(($(date +%s) - start)) s"
    echo "32-bit: the release QXLauncher.exe, the store suite and run.sh passed under emulation"
fi

step "all tests passed"
