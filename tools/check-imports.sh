#!/bin/sh
# Fails unless the exe imports Windows system DLLs only: check-imports.sh OBJDUMP EXE
set -eu
objdump=$1 exe=$2
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
[ -n "$dlls" ] || { echo "no imports found in $exe" >&2; exit 1; }
status=0
for dll in $dlls; do
    case "$dll" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | comctl32.dll | ole32.dll | oleaut32.dll | msvcrt.dll | \
        shell32.dll | version.dll) echo "system: $dll" ;;
    *) echo "NOT a system DLL: $dll" >&2; status=1 ;;
    esac
done
exit $status
