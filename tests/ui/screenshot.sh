#!/bin/sh
# Opens QXLauncher.exe under Wine on the current X display with stored settings for both editions, and saves a
# screenshot of its window: screenshot.sh WINE_RUN PREFIX LAUNCHER_EXE OUTPUT_PNG
set -eu
export LC_ALL=C.UTF-8 # window titles come back from X as UTF-8
wine_run=$1 prefix=$2 launcher=$3 output=$4
work=$(mktemp -d)
launcher_pid=""
cleanup() {
    if [ -n "$launcher_pid" ]; then
        kill "$launcher_pid" 2>/dev/null || true
        wait "$launcher_pid" 2>/dev/null || true
    fi
    "$wine_run" "$prefix" reg delete 'HKCU\Software\ORIM' /f >/dev/null 2>&1 || true
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
"$wine_run" "$prefix" regedit /S "$(echo "Z:$work/settings.reg" | tr / '\\')"

"$wine_run" "$prefix" "$launcher" &
launcher_pid=$!

# The window's X geometry, from its title, once it is mapped.
geometry=""
for _ in $(seq 1 100); do
    geometry=$(xwininfo -root -tree 2>/dev/null | grep -a '"Ostrel' | head -n 1 |
        sed -n 's/.* \([0-9]*x[0-9]*+[0-9-]*+[0-9-]*\) .*/\1/p')
    [ -n "$geometry" ] && break
    sleep 0.2
done
if [ -z "$geometry" ]; then
    echo "the launcher's window did not appear" >&2
    exit 1
fi
sleep 1 # let it paint
import -window root -crop "$geometry" +repage "$output"

# A blank or single-colour capture means nothing was drawn.
colours=$(convert "$output" -format '%k' info:)
echo "saved $output ($geometry, $colours colours)"
[ "$colours" -gt 50 ]
