#!/usr/bin/env bash
# run.sh as a new user on a server runs it, with no X display: tools/check-run.sh PRESET. It must stop under sudo,
# show the window on a new demo install, then twice at once, each on a display of its own beside a decoy X server; with
# a launcher that exits at once or never shows, in a player's prefix, fail saying why and end only what it started.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
top=$PWD build=$PWD/build/$1 demo=$PWD/build/$1/run-check-prefix said=$PWD/build/$1/run-check
rm -rf "$demo" "$demo.lock" "$demo.users" "$demo.display" "$said"
mkdir -p "$said"
decoy_pid="" decoy=89
fail() { echo "$*" >&2; exit 1; }
finish() {
    [ -z "$decoy_pid" ] || kill "$decoy_pid" 2>/dev/null || true
    WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
}
trap finish EXIT

# run NAME [VAR=VALUE...]: run.sh with no display on the demo install, saying what it printed and its exit status in
# $said. Everything it starts inherits QX_DEMO_PREFIX, which nothing else on the machine has.
run() {
    local name=$1 status=0
    shift
    env -u DISPLAY -u WINEPREFIX -u QX_LAUNCHER_EXE QX_DEMO_PREFIX="$demo" "$@" "$top/run.sh" \
        >"$said/$name.txt" 2>&1 || status=$?
    echo "$status" >"$said/$name.status"
    sed "s/^/[$name] /" "$said/$name.txt"
}
showed_window() { [ "$(cat "$said/$1.status")" = 0 ] && grep -q "^window appeared: \"$QX_CAPTION\"" "$said/$1.txt"; }

if [ "$(id -u)" -eq 0 ]; then
    run sudo SUDO_USER=qx-check
    [ "$(cat "$said/sudo.status")" != 0 ] && grep -q "not under sudo: run it as qx-check" "$said/sudo.txt" ||
        fail "run.sh under sudo did not stop"
fi
(cd "$build" && run first QX_DEMO_PREFIX=run-check-prefix)
showed_window first && [ -f "$demo/.qx-demo" ] || fail "run.sh did not show the launcher's window on a new demo install"

# Another X server on the first number from 90 whose files /tmp lacks, as a server in a chroot (X clients reach it
# through its abstract socket all the same): no run may land on it. Its files go once its lock names its own pid.
while [ -z "$decoy_pid" ]; do
    decoy=$((decoy + 1))
    [ ! -e "/tmp/.X11-unix/X$decoy" ] && [ ! -e "/tmp/.X$decoy-lock" ] || continue
    Xvfb ":$decoy" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
    decoy_pid=$!
    until [ -S "/tmp/.X11-unix/X$decoy" ] && [ "$(tr -d ' \n' <"/tmp/.X$decoy-lock" 2>/dev/null)" = "$decoy_pid" ] ||
        ! kill -0 "$decoy_pid" 2>/dev/null; do sleep 0.1; done
    kill -0 "$decoy_pid" 2>/dev/null || { wait "$decoy_pid" 2>/dev/null || true; decoy_pid=""; }
done
rm -f "/tmp/.X11-unix/X$decoy" "/tmp/.X$decoy-lock"
run together-1 &
run together-2
wait $!
kill "$decoy_pid" 2>/dev/null || fail "the X server on :$decoy ended during the two runs"
decoy_pid=""
displays=$(sed -n 's/^== no X display: running on a private Xvfb, \(:[0-9]*\),.*/\1/p' "$said"/together-*.txt | sort -u)
showed_window together-1 && showed_window together-2 && [ "$(wc -l <<<"$displays")" -eq 2 ] &&
    ! grep -qx ":$decoy" <<<"$displays" ||
    fail "two runs at once did not both show the window, each on its own display ($displays; :$decoy was held)"

# The install as a player's prefix whose server (with Wine's services) is already running.
WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -p
cmake/wine-run.sh "$demo" hostname >/dev/null
server=$(qx_processes_with "WINEPREFIX=$demo" | awk '$2 ~ /wineserver/ {print $1; exit}')
[ -n "$server" ] || fail "no wineserver runs with WINEPREFIX=$demo: the runs below could not be checked against it"
# fails_cleanly NAME EXE REASON
fails_cleanly() {
    local left
    run "$1" WINEPREFIX="$demo" QX_LAUNCHER_EXE="$2"
    for _ in $(seq 1 50); do
        left=$(qx_processes_with "QX_DEMO_PREFIX=$demo")
        [ -n "$left" ] || break
        sleep 0.2
    done
    [ "$(cat "$said/$1.status")" != 0 ] && grep -q "^$3" "$said/$1.txt" ||
        fail "run.sh did not fail, saying \"$3\", with ${2##*/} as the launcher"
    [ -z "$left" ] && kill -0 "$server" || fail "run.sh with ${2##*/} left processes running, or ended the server: $left"
}
fails_cleanly quick "$demo/drive_c/windows/system32/hostname.exe" "the launcher ended before its window appeared"
fails_cleanly stuck "$build/tests/never_shows.exe" "no window titled"
echo "run.sh: window shown on a new demo install and by two runs at once on $(echo $displays); a launcher that" \
    "exits at once or never shows fails the run, and what the run started is ended, the prefix's server is not"
finish
WINEPREFIX="$demo" /usr/lib/wine/wineserver64 -w
rm -rf "$demo" "$demo.lock" "$demo.users" "$demo.display"
