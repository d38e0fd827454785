#!/usr/bin/env bash
# Opens QXLauncher.exe under Wine on the current X display with stored settings for both editions, and saves a
# picture of its window as a player sees it, title bar included: screenshot.sh WINE_RUN PREFIX LAUNCHER_EXE OUTPUT_PNG
# (the settings: screenshot-settings.reg)
set -eu
. "$(dirname "$0")/../../tools/common.sh"
wine_run=$1 prefix=$2 launcher=$3 output=$4
work=$(mktemp -d)
cleanup() {
    qx_close_launcher
    "$wine_run" "$prefix" reg delete 'HKCU\Software\ORIM' /f >/dev/null 2>&1 || true
    # The window tests share this prefix: the font links go back to Wine's own, as in a player's prefix.
    if [ -f "$work/links.reg" ]; then
        "$wine_run" "$prefix" reg import "$(qx_windows_path "$work/links.reg")" >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# From the work folder, whose name any code page holds.
cp "$(dirname "$0")/screenshot-settings.reg" "$work/settings.reg"
"$wine_run" "$prefix" regedit /S "$(qx_windows_path "$work/settings.reg")"
"$wine_run" "$prefix" reg export "$QX_FONT_LINKS" "$(qx_windows_path "$work/links.reg")" /y >/dev/null
qx_title_bar_fonts "$prefix" "$wine_run" "$prefix"

qx_show_launcher "$launcher" "$output" "$work" "$wine_run" "$prefix"
