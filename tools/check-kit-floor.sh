#!/bin/sh
# Fails when a program or DLL of the Windows test kit would not load on the launcher's oldest Windows:
#   check-kit-floor.sh OBJDUMP CXX FLOOR MSVCRT_IMPORT_LIBRARY FILE...
# Each must pass check-floor.sh, its header naming FLOOR or an older version.
set -u
objdump=$1 cxx=$2 floor=$3 msvcrt_lib=$4
shift 4
status=0
for file; do
    echo "== ${file##*/}"
    sh "$(dirname "$0")/check-floor.sh" "$objdump" "$cxx" "$file" "$floor" "$msvcrt_lib" at-most || status=1
done
exit $status
