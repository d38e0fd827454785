#!/bin/sh
# Fails unless two builds of the release exe and zip are byte-identical: check-reproducible.sh CMAKE SOURCE WORK
# The first build is of SOURCE itself, dated by git; the second, a few seconds later, of a copy of it in another
# folder, dated by SOURCE_DATE_EPOCH, in another time zone and umask. WORK is made and removed again.
# It also fails if the zip's entries are not all in its one folder, QXLauncher-1.00/.
set -eu
cmake=$1
source=$(cd "$2" && pwd)
work=$3
preset=win32

rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    if ! epoch=$(git -C "$source" log -1 --format=%ct); then
        echo "cannot date the build: $source is not a git checkout and SOURCE_DATE_EPOCH is not set" >&2
        exit 1
    fi
else
    epoch=$SOURCE_DATE_EPOCH
fi

# The copy: the working tree as it is (edits included), without builds and git's data.
copy=$work/second/source-copy
mkdir -p "$copy"
tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -

# release SOURCE BUILD: configures the release preset into BUILD and builds the exe and the zip only.
release() {
    if ! (cd "$1" && "$cmake" --preset "$preset" -B "$2" && "$cmake" --build "$2" -j2 --target QXLauncher package_release) \
        >"$2.log" 2>&1; then
        tail -n 30 "$2.log" >&2
        echo "build in $2 failed" >&2
        exit 1
    fi
}

first=$work/first/build
mkdir -p "$work/first"
(umask 022 && TZ=UTC0 release "$source" "$first")
# Past a whole second and a zip timestamp's two, so a clock that leaks in shows.
sleep 3
second=$work/second/a-longer-build-folder-name
(SOURCE_DATE_EPOCH=$epoch && export SOURCE_DATE_EPOCH && umask 077 && TZ=XYZ-9:30 release "$copy" "$second")

status=0
for file in ui/QXLauncher.exe QXLauncher-1.00-$preset.zip; do
    if cmp "$first/$file" "$second/$file"; then
        echo "identical: $file ($(wc -c <"$first/$file") bytes)"
    else
        echo "DIFFERENT: $file; differing bytes (offset, first, second in octal):" >&2
        cmp -l "$first/$file" "$second/$file" | head -n 20 >&2 || true
        status=1
    fi
done
# The zip unpacks into a folder of its own, never loose beside what lies where it is unpacked.
entries=$("$cmake" -E tar tf "$first/QXLauncher-1.00-$preset.zip")
expected='QXLauncher-1.00/QXLauncher.exe
QXLauncher-1.00/README.txt'
if [ "$entries" != "$expected" ]; then
    printf "the zip's entries are not in the folder QXLauncher-1.00/:\n%s\n" "$entries" >&2
    status=1
fi
# Neither build's folders may show inside the exe.
for folder in "$source" "$copy" "$first" "$second"; do
    if grep -q -a -F "$folder" "$first/ui/QXLauncher.exe" "$second/ui/QXLauncher.exe"; then
        echo "the exe contains the build folder $folder" >&2
        status=1
    fi
done
exit $status
