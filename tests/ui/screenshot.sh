#!/usr/bin/env bash
# Opens QXLauncher.exe under Wine on the current X display with stored settings for both editions, and saves a
# picture of its window as a player sees it, title bar included: screenshot.sh WINE_RUN PREFIX LAUNCHER_EXE OUTPUT_PNG
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

cat >"$work/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\ORIM\Halvoren12QX Tc\Configs]
"WIDTH"=dword:00000500
"HEIGHT"=dword:000003c0
"FULLSCREEN"=dword:00000001

[HKEY_CURRENT_USER\Software\ORIM\Halvoren12QX\Configs]
"WIDTH"=dword:00000320
"HEIGHT"=dword:00000258
"FULLSCREEN"=dword:00000000
REG
"$wine_run" "$prefix" regedit /S "$(qx_windows_path "$work/settings.reg")"
"$wine_run" "$prefix" reg export "$QX_FONT_LINKS" "$(qx_windows_path "$work/links.reg")" /y >/dev/null
qx_title_bar_fonts "$prefix" "$wine_run" "$prefix"

qx_show_launcher "$launcher" "$output" "$work" "$wine_run" "$prefix"
