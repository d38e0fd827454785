# Shared by run.sh, test.sh and bench/run.sh: installing what the build needs, and choosing the Windows build.

# Debian packages the builds and tests need. wine32 (i386) runs the 32-bit release build; locales-all gives the
# end-to-end tests the Chinese and Japanese locales that Wine takes the ANSI code page from.
QX_PACKAGES="cmake make g++ clang libclang-rt-14-dev googletest
g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick fonts-wqy-microhei fonts-dejavu-core zip
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
# fails there. The 64-bit build of the same sources then stands in for the Windows-side runs.
qx_wine32_works() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

qx_windows_run_preset() {
    if qx_wine32_works; then echo win32; else echo win64; fi
}

# A free X display number for Xvfb.
qx_free_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    echo 121
}
