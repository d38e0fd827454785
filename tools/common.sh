# Shared by the scripts: installing what the build needs, choosing the Windows build and its loader, and showing the
# launcher's window as a player sees it on an X display without a window manager.

# Debian packages, the same names on Debian 12 and 13. Running the launcher needs the MinGW-w64 compiler of its build,
# Wine with wine32 (i386), a CJK font for the captions and Marlett for a title bar's buttons; without an X display,
# also Xvfb, the X tools that find and capture the window, and ImageMagick.
QX_RUN_PACKAGES="cmake make g++-mingw-w64-i686-win32 wine wine64 wine32:i386 fonts-wqy-microhei fonts-dejavu-core
fonts-wine"
QX_RUN_PACKAGES_64="g++-mingw-w64-x86-64-win32"
QX_HEADLESS_PACKAGES="xvfb x11-utils imagemagick"
# The tests add the native compilers, GoogleTest, clang and lld (the fuzzer, a second Windows compiler), qemu for hosts
# that cannot run 32-bit code, xauth, zip, unzip, and the Chinese and Japanese locales Wine takes code pages from.
QX_TEST_PACKAGES="$QX_RUN_PACKAGES $QX_RUN_PACKAGES_64 $QX_HEADLESS_PACKAGES g++ clang lld libclang-rt-dev googletest
qemu-user-static xauth zip unzip locales-all"

# qx_install_missing PACKAGE...: installs those not installed yet, through sudo unless this is root.
qx_install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        [[ $(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null) == *"ok installed" ]] || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "sudo is not installed: install these as root (su -), then run this again as yourself:" >&2
            echo "  dpkg --add-architecture i386 && apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
            exit 1
        fi
        sudo="sudo"
    fi
    [[ $'\n'$(dpkg --print-foreign-architectures)$'\n' == *$'\n'i386$'\n'* ]] || $sudo dpkg --add-architecture i386
    $sudo apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Under sudo, the scripts would leave build/ and the demo prefix to root and lose the user's X display: they stop and
# ask to be run as the user, and call sudo themselves for apt-get only. Root with no sudo (containers, CI) is fine.
qx_refuse_sudo() {
    if [ -n "${SUDO_USER:-}" ] && [ "$(id -u)" -eq 0 ] && [ "$SUDO_USER" != root ]; then
        echo "$1 runs as yourself, not under sudo: run it as $SUDO_USER (\"$1\");" \
            "it asks sudo for the packages only." >&2
        exit 1
    fi
}

# Some hosts (containers and sandboxes without 32-bit syscalls) cannot run 32-bit programs, so Wine's 32-bit loader
# fails there, or runs only because an emulator is registered for 32-bit ELF files. Timings and the full Windows
# suite need the native loader; elsewhere the 64-bit build of the same sources stands in.
qx_wine32_works() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

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

qx_wine32_native() { ! qx_i386_handler >/dev/null && qx_wine32_works; }
qx_windows_run_preset() { if qx_wine32_native; then echo win32; else echo win64; fi; }

# Makes Wine's 32-bit loader work on a host that cannot run 32-bit code: qemu-i386 as the binfmt_misc handler of
# i386 ELF files (with F, so it works in any mount namespace). Prints one line saying what it did or why it could
# not; fails in the latter case.
QX_I386_REGISTER=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
qx_setup_i386_emulation() {
    local dir=/proc/sys/fs/binfmt_misc handler did="" why=""
    if handler=$(qx_i386_handler); then
        did="using the i386 handler '$handler' already registered"
    elif [ "$(id -u)" -ne 0 ]; then
        why="emulating 32-bit programs needs an i386 binfmt_misc handler, registered as root"
    elif [ ! -x /usr/bin/qemu-i386-static ]; then
        why="/usr/bin/qemu-i386-static is missing (Debian package qemu-user-static)"
    elif [ ! -e "$dir/register" ] && ! mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null; then
        why="binfmt_misc is not available here (mounting it on $dir failed)"
    elif ! printf '%s' "$QX_I386_REGISTER" >"$dir/register" 2>/dev/null || ! qx_i386_handler >/dev/null; then
        why="registering qemu-i386 with binfmt_misc failed (is an i386 entry there, disabled?)"
    else
        did="registered qemu-i386-static as the i386 handler"
    fi
    [ -n "$why" ] || qx_wine32_works || why="$did, but Wine's 32-bit loader still fails (is wine32:i386 installed?)"
    if [ -n "$why" ]; then
        echo "32-bit run skipped: $why"
        return 1
    fi
    echo "32-bit emulation: $did; Wine's 32-bit loader now runs under qemu"
}

# The Wine loader for a Windows program: the 32-bit one for a 32-bit exe (PE machine 0x14c), else the 64-bit one
# (also for Wine's own programs named without a path, which run 64-bit).
qx_wine_loader() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    if [ "$(od -An -tx1 -j "${offset:-0}" -N6 "$1" 2>/dev/null | tr -d ' \n')" = 504500004c01 ]; then
        echo /usr/lib/wine/wine
    else
        echo /usr/lib/wine/wine64
    fi
}

# Starts a private Xvfb on a display number that Xvfb itself finds free, and waits until it accepts connections:
# qx_start_xvfb WORK_DIR [WxHxD]. Exports DISPLAY and sets QX_XVFB_PID; says why and fails if Xvfb did not come up.
qx_start_xvfb() {
    local work=$1 number=""
    rm -f "$work/xvfb-display"
    Xvfb -displayfd 3 -screen 0 "${2:-1024x768x24}" -nolisten tcp 3>"$work/xvfb-display" >"$work/xvfb.txt" 2>&1 &
    QX_XVFB_PID=$!
    # Xvfb writes the number and a newline once it listens; read fails until the line is whole.
    for _ in $(seq 1 100); do
        if IFS= read -r number <"$work/xvfb-display" 2>/dev/null && [ -n "$number" ]; then
            export DISPLAY=":$number"
            return 0
        fi
        kill -0 "$QX_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "Xvfb did not start: $(tail -n 3 "$work/xvfb.txt" | tr '\n' ' ')" >&2
    return 1
}

# Ends the Xvfb that qx_start_xvfb started, and with it whatever still had a window on it.
qx_stop_xvfb() {
    [ -z "${QX_XVFB_PID:-}" ] || { kill "$QX_XVFB_PID" 2>/dev/null; wait "$QX_XVFB_PID" 2>/dev/null; } || true
    QX_XVFB_PID=""
}

# A Unix path as Wine's Z: drive shows it to Windows programs.
qx_windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# The launcher's window title.
QX_CAPTION="Ostrel制作 "

# Title bars as Windows draws them, in a prefix made here (never a player's own): Marlett for the buttons (Debian's
# Wine does not look where fonts-wine puts it), and Tahoma linked to the CJK font for the title's Chinese, as Windows
# links it to its own. qx_title_bar_fonts PREFIX WINE [ARGS...], where WINE [ARGS...] runs a program in PREFIX.
QX_FONT_LINKS='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
qx_title_bar_fonts() {
    local prefix=$1
    shift
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
    "$@" reg add "$QX_FONT_LINKS" /v Tahoma /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null
}

# The launcher's window as xwininfo lists it (0x... "title": ("class" "class")  WxH+X+Y  +X+Y, the last pair on the
# screen), looked for only inside this run's own Wine desktop (QX_DESKTOP), never elsewhere on the display.
qx_launcher_window() {
    local tree
    tree=$(LC_ALL=C.UTF-8 xwininfo -root -tree 2>/dev/null) || return 1
    LC_ALL=C.UTF-8 awk -v desktop="\"$QX_DESKTOP - " -v title="\"$QX_CAPTION\": " '
        function indent() { match($0, /^ */); return RLENGTH }
        BEGIN { depth = -1 }
        depth >= 0 && indent() <= depth { exit }
        depth >= 0 && index($0, title) { print; found = 1; exit }
        depth < 0 && index($0, desktop) { depth = indent() }
        END { exit !found }' <<<"$tree"
}

# Opens the launcher in a Wine desktop of its own on the current X display, waits for its window and saves a picture
# of it: qx_show_launcher LAUNCHER_EXE OUTPUT_PNG WORK_DIR WINE [ARGS...] (WORK_DIR, made by the caller, keeps Wine's
# output and the launcher's exit status). With no window manager Wine draws no frame; in its desktop it draws the
# whole window, title bar included, also where the prefix's server started with no display or on another one. Prints
# that the window appeared, or why not and fails. The launcher runs until qx_close_launcher, which the caller runs in
# every case. WINE must start the 64-bit explorer.exe: under Wine 10 a desktop whose process is the 32-bit one reports
# a second monitor above the primary, and the launcher, centred on the work area, is drawn below the X screen.
# QX_WINDOW_WAIT: seconds to wait for the window (30; a 32-bit launcher under qemu needs minutes).
qx_show_launcher() {
    local launcher=$1 output=$2 work=$3 start=$SECONDS line="" geometry="" colours=0 screen="" outside=""
    shift 3
    QX_DESKTOP="QXLauncher-$$"
    # explorer keeps no exit status of the program it starts: a batch file records the launcher's.
    rm -f "$work/status"
    printf '@"%s"\r\n@echo %%errorlevel%% >"%s"\r\n' "$(qx_windows_path "$launcher")" \
        "$(qx_windows_path "$work/status")" >"$work/open.bat"
    # What Wine starts from here (the desktop, cmd.exe, the launcher) carries QX_RUN in its environment, which Wine
    # passes on to the programs it starts; their process groups and sessions differ between Wine 8 and 10.
    QX_RUN="$QX_DESKTOP-$SECONDS-$RANDOM"
    QX_RUN=$QX_RUN "$@" explorer "/desktop=$QX_DESKTOP,1024x768" cmd /c "$(qx_windows_path "$work/open.bat")" \
        >"$work/wine.txt" 2>&1 &
    QX_RUN_PID=$!
    until line=$(qx_launcher_window); do
        if [ -s "$work/status" ] || ! kill -0 "$QX_RUN_PID" 2>/dev/null; then
            echo "the launcher ended before its window appeared, exit status $(tr -d ' \r\n' 2>/dev/null <"$work/status" ||
                echo unknown)" >&2
            if [ -s "$work/wine.txt" ]; then
                echo "Wine's output ends with:" >&2
                tail -n 15 "$work/wine.txt" | sed 's/^/    /' >&2
            fi
            return 1
        fi
        qx_display_alive || return 1
        if [ $((SECONDS - start)) -ge "${QX_WINDOW_WAIT:-30}" ]; then
            echo "no window titled \"$QX_CAPTION\" in the Wine desktop \"$QX_DESKTOP\" after ${QX_WINDOW_WAIT:-30} s" >&2
            return 1
        fi
        sleep 0.2
    done
    screen=$(LC_ALL=C xwininfo -root 2>/dev/null | sed -n 's/^ *-geometry \([0-9]*x[0-9]*\)+0+0 *$/\1/p')
    # Give it time to paint; a single-colour picture means nothing was drawn yet.
    for _ in 1 2 3 4 5; do
        sleep 1
        qx_display_alive || return 1
        line=$(qx_launcher_window) || line=""
        geometry=$(echo "$line" | sed -n 's/.* \([0-9]*x[0-9]*\)+[-0-9]*+[-0-9]* *+\([-0-9]*\)+\([-0-9]*\) *$/\1+\2+\3/p')
        outside=""
        [ -z "$geometry" ] || qx_on_screen "$geometry" "$screen" || outside=1
        if [ -n "$geometry" ] && [ -z "$outside" ] && import -window root -crop "$geometry" +repage "$output"; then
            colours=$(convert "$output" -format '%k' info:) || colours=0
            [ "$colours" -gt 50 ] && break
        fi
    done
    local why=""
    [ -n "$line" ] || why="went away before it could be captured"
    [ -z "$why" ] && [ -n "$outside" ] && why="is not wholly on the ${screen:-?} X screen: $line"
    [ -z "$why" ] && [ "$colours" -le 50 ] && why="stayed blank: $line"
    [ -z "$why" ] || { echo "the launcher's window $why" >&2; return 1; }
    echo "window appeared: \"$QX_CAPTION\" $geometry after $((SECONDS - start)) s, saved $output ($colours colours)"
}

# qx_on_screen WxH+X+Y SCREEN_WxH: whether that rectangle lies wholly on the screen.
qx_on_screen() {
    local w h x y sw sh
    IFS='x+' read -r w h x y <<<"$1"
    IFS=x read -r sw sh <<<"$2"
    [ -n "$sw" ] && [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$sw" ] && [ $((y + h)) -le "$sh" ]
}

# Fails, saying so, once the private Xvfb (if this run started one) has ended.
qx_display_alive() {
    [ -z "${QX_XVFB_PID:-}" ] || kill -0 "$QX_XVFB_PID" 2>/dev/null && return 0
    echo "the X server $DISPLAY that this run started has ended" >&2
    return 1
}

# qx_processes_with NAME=VALUE: "PID COMMAND LINE" of each process with that variable in its environment. Wine passes
# the environment on to the programs it starts, so this finds them whatever their process group or session.
qx_processes_with() {
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        grep -q -z -x -F "$1" "$environ" 2>/dev/null || continue
        pid=${environ#/proc/} pid=${pid%/environ}
        echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    done
}

# The processes of this run in Wine, by the QX_RUN in their environment, but the prefix's server and Wine's services,
# which inherit it where the run was the first in the prefix.
qx_run_processes() {
    local pid args
    qx_processes_with "QX_RUN=$QX_RUN" | while read -r pid args; do
        case "$args " in
        *wineserver* | *'\services.exe'* | *'\winedevice.exe'* | *'\plugplay.exe'* | *'\svchost.exe'* | *'\rpcss.exe'* | \
            *'\explorer.exe /desktop ') continue ;;
        esac
        echo "$pid"
    done
}

# Ends what qx_show_launcher started, and only that, by TERM and, after 5 s, KILL; never a window by its id.
qx_close_launcher() {
    [ -n "${QX_RUN:-}" ] || return 0
    local signal pids pid
    for signal in TERM KILL; do
        pids=$(qx_run_processes)
        [ -n "$pids" ] || break
        kill -"$signal" $pids 2>/dev/null || true
        for _ in $(seq 1 50); do
            for pid in $pids; do kill -0 "$pid" 2>/dev/null && break; done || break
            sleep 0.1
        done
    done
    wait "$QX_RUN_PID" 2>/dev/null || true
    QX_RUN=""
}
