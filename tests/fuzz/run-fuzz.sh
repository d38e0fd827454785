#!/usr/bin/env bash
# Builds the libFuzzer targets with the "fuzz" preset and runs parse_size_fuzz for SECONDS (default 30).
# Usage: tests/fuzz/run-fuzz.sh [SECONDS] [BUILD_DIR]   (BUILD_DIR defaults to build/fuzz in the repository)
# The seed corpus is copied into the build directory and grows there; the source tree is never written.
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
buildDir="${2:-$root/build/fuzz}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS] [BUILD_DIR]" >&2
    exit 2
fi
mkdir -p "$buildDir"
buildDir="$(cd "$buildDir" && pwd)"

cd "$root"
cmake --preset fuzz -B "$buildDir" > "$buildDir/fuzz-configure.log" 2>&1 || {
    cat "$buildDir/fuzz-configure.log" >&2
    echo "fuzz: configure failed" >&2
    exit 1
}
cmake --build "$buildDir" --target parse_size_fuzz -j2

corpus="$buildDir/fuzz-corpus/parse_size"
artifacts="$buildDir/fuzz-artifacts/parse_size"
log="$buildDir/fuzz-parse_size.log"
mkdir -p "$corpus" "$artifacts"
for seed in "$root/tests/fuzz/corpus/"*; do
    [[ -e "$corpus/$(basename "$seed")" ]] || cp "$seed" "$corpus/"
done

echo "fuzz: running parse_size_fuzz for ${seconds} s (log: $log)"
status=0
"$buildDir/tests/fuzz/parse_size_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" > "$log" 2>&1 || status=$?

if [[ $status -ne 0 ]] || grep -q -e '^==[0-9]*==ERROR' -e 'runtime error:' -e 'ParseSize mismatch' "$log"; then
    tail -n 40 "$log" >&2
    echo "fuzz: parse_size_fuzz FAILED (exit $status); artifacts in $artifacts" >&2
    exit $(( status != 0 ? status : 1 ))
fi

done="$(grep -E '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -n 1 || true)"
runs="$(sed -E 's/^Done ([0-9]+) runs in ([0-9]+) second.*/\1/' <<< "$done")"
took="$(sed -E 's/^Done ([0-9]+) runs in ([0-9]+) second.*/\2/' <<< "$done")"
if [[ -z "$done" ]]; then
    tail -n 20 "$log" >&2
    echo "fuzz: parse_size_fuzz ended without its final statistics" >&2
    exit 1
fi
echo "fuzz: parse_size_fuzz ran $runs runs in $took s, no findings"
