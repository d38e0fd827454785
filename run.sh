#!/usr/bin/env bash
# Builds QXLauncher.exe and opens it under Wine.
#   WINEPREFIX unset: on a demo install made once under build/ (both editions, with the stand-in game), so that
#                     clicking "启动游戏" shows the stand-in's window with the settings it was given.
#                     QX_DEMO_PREFIX chooses another folder for it (test.sh starts from a new one).
#   WINEPREFIX set:   on that prefix (the game's own), changing nothing in it.
# QX_LAUNCHER_EXE opens another build of the launcher instead of this one's.
# Without an X display it runs the launcher on a private Xvfb, in a Wine desktop so that the window has its frame,
# saves a screenshot of the window and closes it again. It exits non-zero, saying why, if the window did not appear.
set -euo pipefail
# Folders the user names are taken from where the script was started.
for var in QX_DEMO_PREFIX QX_LAUNCHER_EXE WINEPREFIX; do
    [ -z "${!var:-}" ] || export "$var=$(realpath -m -- "${!var}")"
done
cd "$(dirname "$0")"
. tools/common.sh
qx_refuse_sudo ./run.sh

qx_install_missing $QX_RUN_PACKAGES $([ -n "${DISPLAY:-}" ] || echo "$QX_HEADLESS_PACKAGES")
preset=$(qx_windows_run_preset)
if [ "$preset" = win64 ]; then
    qx_install_missing $QX_RUN_PACKAGES_64
    echo "note: Wine's 32-bit loader does not run natively on this host; running the 64-bit build of the launcher."
fi
echo "== building ($preset)"
# One build at a time in a build tree: a second run.sh waits for the first's.
mkdir -p build
(
    flock 9
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)" --target QXLauncher standin_game
) 9>"build/$preset.lock"
build="$PWD/build/$preset"
launcher="${QX_LAUNCHER_EXE:-$build/ui/QXLauncher.exe}"
# The launcher's own loader: a 32-bit QX_LAUNCHER_EXE runs under the 32-bit one on either kind of host.
loader=$(qx_wine_loader "$launcher")
user_prefix="${WINEPREFIX:-}"

# Without a display, everything from here on (making the demo install too) runs on a private Xvfb.
work="" prefix="" demo=""
finish() {
    local status=$?
    qx_close_launcher
    # Runs sharing the demo install each hold a shared lock on it; the last one, alone with it, ends its server. A
    # player's own prefix is never ended: only what this run started there (above) is.
    if [ -n "$demo" ] && flock -x -n 8; then cmake/wine-run.sh "$prefix" --stop 8>&-; fi
    qx_stop_xvfb
    [ -z "$work" ] || rm -rf "$work"
    exit "$status"
}
if [ -z "${DISPLAY:-}" ]; then
    work=$(mktemp -d)
    trap finish EXIT
    trap 'exit 130' INT TERM HUP
    qx_start_xvfb "$work"
    echo "== no X display: running on a private Xvfb, $DISPLAY, for a few seconds"
fi

if [ -n "$user_prefix" ]; then
    prefix="$WINEPREFIX"
    echo "== starting the launcher on WINEPREFIX=$prefix"
else
    prefix="${QX_DEMO_PREFIX:-$build/demo-prefix}"
    demo=1
    mkdir -p "$(dirname "$prefix")"
    # Runs using the install hold a shared lock on it; one that has to make or refresh it waits to hold it alone.
    # Wine's programs get the descriptor closed (8>&-), so the prefix's server, which outlives them, never holds it.
    exec 8>"$prefix.users"
    flock -s 8
    demo_ready() {
        [ -f "$prefix/.qx-demo" ] && [ -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ] &&
            cmp -s "$build/demo/HALV12QX.exe" "$prefix/drive_c/Games/Halvoren 12QX Tc/HALV12QX.exe" &&
            cmp -s "$build/demo/HALV12QX.exe" "$prefix/drive_c/Games/Halvoren12QX/HALV12QX.exe"
    }
    if ! demo_ready; then
        flock -x 8
        if [ ! -f "$prefix/.qx-demo" ]; then
            echo "== making the demo install in $prefix (once)"
            cmake/wine-run.sh "$prefix" wineboot >/dev/null 8>&- # creates the prefix
            cmake/wine-run.sh "$prefix" regedit /S "$(qx_windows_path "$PWD/tools/demo-install.reg")" 8>&-
            touch "$prefix/.qx-demo"
        fi
        [ -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ] ||
            qx_title_bar_fonts "$prefix" cmake/wine-run.sh "$prefix" 8>&-
        # The installer's directories, with the stand-in game of this build in each.
        for dir in "Halvoren 12QX Tc" "Halvoren12QX"; do
            mkdir -p "$prefix/drive_c/Games/$dir"
            cp "$build/demo/HALV12QX.exe" "$prefix/drive_c/Games/$dir/HALV12QX.exe"
        done
        flock -s 8
    fi
    echo "== starting the launcher on the demo install (Chinese edition in C:\\Games\\Halvoren 12QX Tc\\,"
    echo "   Japanese edition in C:\\Games\\Halvoren12QX\\)"
fi
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
[ "$loader" = /usr/lib/wine/wine ] || export WINELOADER=$loader

if [ -z "$work" ]; then
    # Not exec: the shell keeps the demo install's shared lock while the launcher (and the game it starts) run.
    "$loader" "$launcher" 8>&- || exit $?
    exit 0
fi

# The desktop is the 64-bit explorer's, whichever build the launcher is (see qx_show_launcher).
qx_show_launcher "$launcher" "$work/window.png" "$work" env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 8>&-
mv -f "$work/window.png" "$build/run-screenshot.png"
echo "== screenshot: $build/run-screenshot.png"
