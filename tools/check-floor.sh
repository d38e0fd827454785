#!/bin/sh
# Fails when the exe would not load on the oldest Windows it claims:
#   check-floor.sh OBJDUMP CXX EXE FLOOR MSVCRT_IMPORT_LIBRARY [at-most]     (FLOOR as _WIN32_WINNT, e.g. 0x0501)
# (QX_CXX_TARGET names the target of a CXX that needs it, clang)
# Its header must name FLOOR as OS and subsystem version (with at-most, FLOOR or older, as the test kit's programs
# do). Each function it imports from a system DLL must be declared
# by the MinGW-w64 headers at _WIN32_WINNT=FLOOR, which hide what newer versions added; msvcrt.dll, whose functions
# the headers do not version, is held to the exports of the runtime that version ships as msvcrt.dll (7.0 for XP).
set -eu
objdump=$1 cxx=$2 exe=$3 floor=$4 msvcrt_lib=$5 header=${6:-exact}
nm=${objdump%objdump}nm
status=0

want="$((floor >> 8)).$((floor & 255))"
for field in OSystem Subsystem; do
    got=$("$objdump" -p "$exe" | awk -v f="$field" '
        $1 == "Major" f "Version" {ma = $2}
        $1 == "Minor" f "Version" {mi = $2}
        END {print ma "." mi}')
    if [ "$got" = "$want" ] || { [ "$header" = at-most ] &&
        [ $((${got%.*} * 256 + ${got#*.})) -le $((floor)) ]; }; then
        echo "header: ${field} version $got"
    else
        echo "header: ${field} version is $got, not the floor $want" >&2
        status=1
    fi
done

# Each DLL's table has a header that says which column holds the name: binutils 2.40 writes "vma:  Hint/Ord
# Member-Name Bound-To" and tab-separated rows, 2.44 "vma:  Ordinal  Hint  Member-Name  Bound-To" and spaces.
imports=$("$objdump" -p "$exe" | awk '
    /^\tDLL Name: / {dll = tolower($3); column = 0; next}
    /^$/ {dll = ""}
    dll != "" && $1 == "vma:" {for (i = 2; i <= NF; i++) if ($i == "Member-Name") column = i; next}
    dll != "" && column && /^\t[0-9a-f]+[ \t]/ {
        print dll, (NF >= column && $column !~ /^</ ? $column : "<ordinal " $2 ">")}')
[ -n "$imports" ] || { echo "no imports found in $exe" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$nm" "$msvcrt_lib" | sed -n 's/.* I __imp__//p' | sort -u >"$work/msvcrt"
[ -s "$work/msvcrt" ] || { echo "no exports read from $msvcrt_lib" >&2; exit 1; }

{
    echo '#include <windows.h>'
    echo '#include <commctrl.h>'
    echo '#include <ole2.h>'
    echo '#include <olectl.h>'
    echo '#include <oleacc.h>'
    echo '#include <sddl.h>'
    echo '#include <shlobj.h>'
    echo 'void References() {'
} >"$work/refs.cpp"
echo "$imports" | while read -r dll name; do
    case "$name" in
    "<ordinal"*) echo "imported by ordinal only, cannot be checked: $dll $name" >&2; echo x >>"$work/bad" ;;
    *)
        if [ "$dll" = msvcrt.dll ]; then
            if ! grep -qx "$name" "$work/msvcrt"; then
                echo "msvcrt.dll of the floor lacks: $name" >&2
                echo x >>"$work/bad"
            fi
        else
            echo "    (void)&::$name; // $dll" >>"$work/refs.cpp"
        fi
        ;;
    esac
done
echo '}' >>"$work/refs.cpp"
[ ! -e "$work/bad" ] || status=1

if "$cxx" ${QX_CXX_TARGET:+"--target=$QX_CXX_TARGET"} -fsyntax-only -x c++ -D_WIN32_WINNT="$floor" -DWINVER="$floor" "$work/refs.cpp" 2>"$work/errors"; then
    echo "imports: $(echo "$imports" | wc -l) functions, all present at the floor $want"
else
    echo "imports newer than the floor $want (or unknown to its headers):" >&2
    grep -o "[‘'][^’']*[’'] \(has not been\|was not\) declared" "$work/errors" | sort -u >&2 || cat "$work/errors" >&2
    status=1
fi
exit $status
