#!/usr/bin/env bash
# Builds QXLauncher.exe and opens it under Wine.
#   WINEPREFIX unset: on a demo install made once under build/ (both editions, with the stand-in game), so that
#                     clicking "启动游戏" shows the stand-in's window with the settings it was given.
#   WINEPREFIX set:   on that prefix (the game's own), changing nothing in it.
# Without an X display it runs the launcher on a private Xvfb, saves a screenshot and closes it again.
set -euo pipefail
cd "$(dirname "$0")"
. tools/common.sh

qx_install_missing

preset=$(qx_windows_run_preset)
if [ "$preset" = win64 ]; then
    echo "note: Wine's 32-bit loader does not run natively on this host; running the 64-bit build of the launcher."
fi
echo "== building ($preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" --target QXLauncher standin_game
build="$PWD/build/$preset"
launcher="$build/ui/QXLauncher.exe"
loader=/usr/lib/wine/wine
[ "$preset" = win64 ] && loader=/usr/lib/wine/wine64

user_prefix="${WINEPREFIX:-}"
if [ -n "$user_prefix" ]; then
    prefix="$WINEPREFIX"
    echo "== starting the launcher on WINEPREFIX=$prefix"
else
    prefix="$build/demo-prefix"
    if [ ! -f "$prefix/.qx-demo" ]; then
        echo "== making the demo install in $prefix (once)"
        cmake/wine-run.sh "$prefix" wineboot >/dev/null # creates the prefix
        cmake/wine-run.sh "$prefix" regedit /S "$(printf 'Z:%s' "$PWD/tools/demo-install.reg" | tr / '\\')"
        touch "$prefix/.qx-demo"
    fi
    # The installer's directories, with a fresh copy of the stand-in game in each.
    for dir in "Halvoren 12QX Tc" "Halvoren12QX"; do
        mkdir -p "$prefix/drive_c/Games/$dir"
        cp "$build/demo/HALV12QX.exe" "$prefix/drive_c/Games/$dir/HALV12QX.exe"
    done
    echo "== starting the launcher on the demo install (Chinese edition in C:\\Games\\Halvoren 12QX Tc\\,"
    echo "   Japanese edition in C:\\Games\\Halvoren12QX\\)"
fi
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
[ "$preset" = win64 ] && export WINELOADER=$loader

if [ -n "${DISPLAY:-}" ]; then
    exec "$loader" "$launcher"
fi

display=$(qx_free_display)
echo "== no X display: running on Xvfb :$display for a few seconds"
Xvfb ":$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
launcher_pid=""
finish() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    [ -z "${user_prefix:-}" ] && /usr/lib/wine/wineserver64 -k 2>/dev/null # only ever the demo prefix's
    kill "$xvfb" 2>/dev/null
    true
}
trap finish EXIT
for _ in $(seq 1 50); do
    [ -S "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
export DISPLAY=":$display"
"$loader" "$launcher" >/dev/null 2>&1 &
launcher_pid=$!
sleep 6
import -window root "$build/run-screenshot.png"
echo "== screenshot: $build/run-screenshot.png"
