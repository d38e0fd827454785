#!/usr/bin/env bash
# The Windows test kit as a tester's Windows runs it: tests/kit/run-under-wine.sh PRESET. Unzipped into a folder
# named with characters the prefix's code page lacks, then one it holds (both with a blank), in a new prefix at 144 DPI
# with no drive for the Unix root, run as "cmd /c run-tests.cmd" from an environment with only what Wine needs. Each
# GoogleTest case CTest lists must pass, but the skips listed below; the window tests must say they ran at 144 DPI.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/common.sh
preset=$1
skips=(
    "LauncherEndToEnd.GameOnAnotherDriveStartsDespiteAStaleDriveDirectoryAndIsNotWaitedFor: needs a second drive"
    "InstallFolders/LauncherInLocale.TheGameIsFoundExactlyWhenTheLocaleHoldsItsFolderName/*: picks a Unix locale"
)
build=$PWD/build/$preset prefix=$PWD/build/$preset/kit-prefix
zip=$build/QXLauncher-1.00-$preset-tests.zip log=$build/kit-run.txt
# Each run gets a copy of a new prefix made once: a prefix sets up its 32-bit half, minutes where that is emulated.
template=$prefix-new loader=/usr/lib/wine/wine
[ "$preset" = win32 ] || loader=/usr/lib/wine/wine64
stop() { for p in "$template" "$prefix"; do WINEPREFIX="$p" /usr/lib/wine/wineserver64 -k 2>/dev/null || true; done; }
trap stop EXIT

# Wine with only what it needs in its environment: clean PREFIX PROGRAM...
clean() {
    env -i HOME="$HOME" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" LANG=C.UTF-8 \
        WINEPREFIX="$1" WINELOADER="$loader" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$loader" "${@:2}"
}
# Both folders, on one display: the script runs itself again inside xvfb-run, and its log keeps what the kit printed.
run_kit() {
    if [ ! -f "$template/.qx-new-144" ]; then
        rm -rf "$template"
        clean "$template" wineboot -i >/dev/null 2>&1
        clean "$template" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
        WINEPREFIX="$template" /usr/lib/wine/wineserver64 -w
        touch "$template/.qx-new-144"
    fi
    rm -rf "$prefix"
    cp -a "$template" "$prefix" && rm "$prefix/.qx-new-144" "$prefix/dosdevices/z:"
    local status=0 kit ran
    for kit in "$prefix/drive_c/测试 套件" "$prefix/drive_c/qx kit été"; do
        echo "== the kit in ${kit#"$prefix/drive_c/"}"
        mkdir -p "$kit" && unzip -q "$zip" -d "$kit"
        kit="$kit/$(basename "$zip" .zip)"
        (cd "$kit" && clean "$prefix" cmd /c run-tests.cmd </dev/null) || status=1
        ran=$(sed -n 's/\r$//; /^window tests ran at .* DPI$/p' "$kit/form1_tests.txt")
        echo; echo "form1_tests.txt: ${ran:-no line saying the DPI the window tests ran at}"
        [ "$ran" = "window tests ran at 144 DPI" ] || status=1
    done
    return $status
}
if [ "${2:-}" = --on-display ]; then
    run_kit
    exit
fi
# CTest lists its GoogleTest cases by running the programs in the build's prefix: the cases with a --gtest_filter.
cases=$(xvfb-run -a ctest --preset "$preset" --show-only=json-v1 | grep -o '"--gtest_filter=' | wc -l)
start=$SECONDS status=0
xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$preset" --on-display >"$log" 2>&1 || status=$?
stop
cat "$log"

# Both runs' totals, which must be the same, and each skip one listed above.
totals=$(sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped\r*$/\1 \2 \3/p' "$log" | sort | uniq -c)
read -r runs passed failed skipped <<<"$totals" || true
unlisted=$(sed -n 's/\r$//; s/^    skipped //p' "$log" | while IFS= read -r skip; do
    for allowed in "${skips[@]}"; do
        # shellcheck disable=SC2053 # the list holds patterns
        [[ $skip == ${allowed%%: *}": "${allowed#*: }* ]] && continue 2
    done
    echo "    $skip"
done)
if [ "$status" -ne 0 ] || [ "${runs:-0}" -ne 2 ] || [ "${failed:-1}" -ne 0 ] ||
    [ "${passed:-0}" -ne $((cases - ${skipped:-0})) ] || [ -n "$unlisted" ]; then
    echo "the test kit failed (exit status $status), its counts differ between its two folders or are not CTest's" \
        "$cases GoogleTest cases less its ${skipped:-?} skipped, or it skipped cases not listed:${unlisted:+$'\n'$unlisted}" >&2
    exit 1
fi
echo "test kit: $passed passed, $skipped skipped (as listed) of CTest's $cases cases in each of its two folders," \
    "at 144 DPI with no Z: drive, in $((SECONDS - start)) s"
