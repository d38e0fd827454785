# Shared by run.sh, test.sh and bench/run.sh: installing what the build needs, and choosing the Windows build.

# Debian packages the builds and tests need. wine32 (i386) runs the 32-bit release build; qemu-user-static runs
# it on hosts that cannot execute 32-bit code; locales-all gives the end-to-end tests the Chinese and Japanese
# locales that Wine takes the ANSI code page from.
QX_PACKAGES="cmake make g++ clang libclang-rt-14-dev googletest
g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
wine wine64 wine32:i386 qemu-user-static xvfb xauth x11-utils imagemagick fonts-wqy-microhei fonts-dejavu-core zip
locales-all"

qx_install_missing() {
    local missing=()
    for pkg in $QX_PACKAGES; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Some hosts (containers and sandboxes without 32-bit syscalls) cannot run 32-bit programs, so Wine's 32-bit loader
# fails there, or runs only because an emulator is registered for 32-bit ELF files. Timings and the full Windows
# suite need the native loader; elsewhere the 64-bit build of the same sources stands in.
qx_wine32_works() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Prints the name of an enabled binfmt_misc handler for i386 ELF programs (qemu or any other emulator). The kernel
# asks binfmt_misc before its own ELF loader, so with such a handler 32-bit programs are emulated even where the
# CPU could run them.
qx_i386_handler() {
    local dir=/proc/sys/fs/binfmt_misc entry magic
    [ "$(cat "$dir/status" 2>/dev/null)" = enabled ] || return 1
    for entry in "$dir"/*; do
        case "${entry##*/}" in register | status) continue ;; esac
        [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
        magic=$(sed -n 's/^magic //p' "$entry")
        # A 32-bit ELF ident at offset 0 and e_machine 3 (EM_386) in bytes 18 and 19.
        case "$magic" in 7f454c4601*) ;; *) continue ;; esac
        grep -qx 'offset 0' "$entry" && [ "${magic:36:4}" = 0300 ] || continue
        echo "${entry##*/}"
        return 0
    done
    return 1
}

qx_wine32_native() {
    ! qx_i386_handler >/dev/null && qx_wine32_works
}

qx_windows_run_preset() {
    if qx_wine32_native; then echo win32; else echo win64; fi
}

# Makes Wine's 32-bit loader work on a host that cannot run 32-bit code: qemu-i386 as the binfmt_misc handler of
# i386 ELF files (with F, so it works in any mount namespace). Prints one line saying what it did or why it could
# not; fails in the latter case.
QX_I386_REGISTER=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
qx_setup_i386_emulation() {
    local dir=/proc/sys/fs/binfmt_misc handler did=""
    if handler=$(qx_i386_handler); then
        did="using the i386 handler '$handler' already registered"
    else
        if [ "$(id -u)" -ne 0 ]; then
            echo "32-bit run skipped: emulating 32-bit programs needs an i386 binfmt_misc handler, registered as root"
            return 1
        fi
        if [ ! -x /usr/bin/qemu-i386-static ]; then
            echo "32-bit run skipped: /usr/bin/qemu-i386-static is missing (Debian package qemu-user-static)"
            return 1
        fi
        if [ ! -e "$dir/register" ]; then
            if ! mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null; then
                echo "32-bit run skipped: binfmt_misc is not available here (mounting it on $dir failed)"
                return 1
            fi
            did="mounted binfmt_misc, "
        fi
        if ! printf '%s' "$QX_I386_REGISTER" >"$dir/register" 2>/dev/null || ! qx_i386_handler >/dev/null; then
            echo "32-bit run skipped: registering qemu-i386 with binfmt_misc failed (is an i386 entry there, disabled?)"
            return 1
        fi
        did="${did}registered qemu-i386-static as the i386 handler"
    fi
    if ! qx_wine32_works; then
        echo "32-bit run skipped: $did, but Wine's 32-bit loader still fails (is wine32:i386 installed?)"
        return 1
    fi
    echo "32-bit emulation: $did; Wine's 32-bit loader now runs under qemu"
}

# A free X display number for Xvfb.
qx_free_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    echo 121
}
