#!/usr/bin/env bash
# Runs a command as a new user of a fresh Debian would: in a minimal Debian of the given release, made here with
# debootstrap from the mirror this machine's apt uses and entered with chroot (so it shares this machine's kernel, and
# with it the 32-bit route; /proc, /sys, /dev and /dev/pts bound in, binfmt_misc mounted), on a new clone of this
# project's committed HEAD. As root:
#   tools/on-debian.sh RELEASE COMMAND [ARGS...]      RELEASE: 12 or bookworm, 13 or trixie
# COMMAND runs in the clone with a clean environment (HOME, PATH, and CI and DISPLAY where they are set; with
# DISPLAY, the host's X sockets are shared). Its exit status is this script's.
#   QX_DEBIAN_USER=NAME  runs it as NAME, a user with passwordless sudo made in the system, instead of root.
#   QX_DEBIAN_ROOT=DIR   keeps the system in DIR and uses it again next time (not fresh then, but quicker); without
#                        it the system is made in a new folder and removed afterwards.
# The mounts it makes are undone whatever happens, and a system is never removed while anything is mounted in it.
#   tools/on-debian.sh --remove DIR                  removes a system left behind, on the same terms.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# Prints each mount point at or below DIR, as the kernel's table lists them (its octal escapes, such as \040 for a
# blank, decoded). findmnt -R would list nothing unless DIR itself were a mount point.
mounts_at_or_below() {
    local point
    while read -r _ _ _ _ point _; do
        point=$(printf '%b.' "${point//\\/\\0}") point=${point%.}
        if [[ $point == "$1" || $point == "$1"/* ]]; then printf '%s\n' "$point"; fi
    done </proc/self/mountinfo
}

# remove_system DIR: removes it and its debootstrap log, never while anything is mounted at or below it (rm's
# --one-file-system does not stop at a bind mount of the same file system, which would take the host's files).
remove_system() {
    local held
    held=$(mounts_at_or_below "$1")
    if [ -n "$held" ]; then
        echo "warning: $1 is left behind: still mounted there: $(tr "\n" " " <<<"$held")" >&2
        return 1
    fi
    rm -rf --one-file-system "$1" "$1.debootstrap.log" ||
        { echo "warning: $1 is left behind (not removable)" >&2; return 1; }
}

[ "$(id -u)" -eq 0 ] || { echo "$0 uses debootstrap, mount and chroot: run it as root" >&2; exit 1; }
if [ "${1:-}" = --remove ] && [ $# -eq 2 ]; then
    remove_system "$(realpath -m "$2")"
    exit
fi

case "${1:-}" in
12 | bookworm) suite=bookworm ;;
13 | trixie) suite=trixie ;;
*) echo "usage: $0 12|13|bookworm|trixie COMMAND [ARGS...]" >&2; exit 2 ;;
esac
shift
[ $# -gt 0 ] || { echo "usage: $0 RELEASE COMMAND [ARGS...]" >&2; exit 2; }
command -v debootstrap >/dev/null ||
    { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap; }

# The Debian mirror this machine's apt already uses: the first address of a Debian archive (not its security one) in
# the deb822 sources or in sources.list, whose "[option=…]" fields are passed over; else Debian's own.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | awk '
    $1 == "URIs:" || $1 == "deb" {for (i = 2; i <= NF; i++) if ($i ~ /^(https?|ftp):\/\/.*\/debian\/?$/) {print $i; exit}}' ||
    true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

if [ -n "${QX_DEBIAN_ROOT:-}" ]; then
    root=$(realpath -m "$QX_DEBIAN_ROOT") keep=1
else
    root=$(realpath "$(mktemp -d "${TMPDIR:-/var/tmp}/qx-debian-$suite.XXXXXX")") keep=""
    chmod 755 "$root" # its /, which every user of the system must be able to enter
fi
mounted=()
cleanup() {
    local status=$? i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    [ -n "$keep" ] || remove_system "$root" || true
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ ! -f "$root/.qx-debootstrap-$suite" ]; then
    echo "== making a minimal Debian $suite in $root (from $mirror)"
    if ! debootstrap --variant=minbase --include=git,ca-certificates "$suite" "$root" "$mirror" \
        >"$root.debootstrap.log" 2>&1; then
        tail -n 20 "$root.debootstrap.log" >&2
        exit 1
    fi
    rm -f "$root.debootstrap.log"
    # Packages start no services inside the system.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
    touch "$root/.qx-debootstrap-$suite"
fi
# The host's names too: sudo looks up this machine's name, and warns at every call where it finds none.
cp /etc/resolv.conf /etc/hosts "$root/etc/"

for m in proc sys dev dev/pts; do
    mkdir -p "$root/$m"
    mount --bind "/$m" "$root/$m"
    mounted+=("$root/$m")
done
# The scripts inside choose the 32-bit route by the i386 handlers registered there: the same as the host's.
if [ -e /proc/sys/fs/binfmt_misc/status ]; then
    mount -t binfmt_misc binfmt_misc "$root/proc/sys/fs/binfmt_misc"
    mounted+=("$root/proc/sys/fs/binfmt_misc")
fi
env=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
[ -z "${CI:-}" ] || env+=("CI=$CI")
if [ -n "${DISPLAY:-}" ]; then
    mkdir -p "$root/tmp/.X11-unix"
    mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
    mounted+=("$root/tmp/.X11-unix")
    env+=("DISPLAY=$DISPLAY")
fi

user=${QX_DEBIAN_USER:-root} home=/root
if [ "$user" != root ]; then
    home=/home/$user
    if ! chroot "$root" id "$user" >/dev/null 2>&1; then
        chroot "$root" env -i "${env[@]}" sh -c 'apt-get update -q >/dev/null &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends sudo >/dev/null'
        chroot "$root" useradd -m -s /bin/bash "$user"
        echo "$user ALL=(ALL) NOPASSWD:ALL" >"$root/etc/sudoers.d/${user//./_}" # sudo skips names with a dot
    fi
    env[0]=HOME=$home
fi

rm -rf "$root$home/QXLauncher"
# As root, git clones another user's checkout only when told it is safe.
git -c safe.directory="$top" -c safe.directory="$top/.git" clone -q --no-hardlinks "$top" "$root$home/QXLauncher"
chroot "$root" chown -R "$user:" "$home/QXLauncher"
echo "== Debian $suite ($(cat "$root/etc/debian_version")), as $user, in $home/QXLauncher: $*"
status=0
chroot "$root" /usr/sbin/runuser -u "$user" -- env -i "${env[@]}" bash -c 'cd ~/QXLauncher && exec "$@"' bash "$@" ||
    status=$?
echo "== Debian $suite: $* exited $status"
exit "$status"
