#!/usr/bin/env bash
# Instructions per byte of the codec, both directions, on the benchmark
# inputs, counted by callgrind inside Encode()/Decode() only (start-up and
# file opening excluded). Encode is per input byte, decode per output byte.
#   bench/callgrind.sh [input ...]      (default: mixed_1m and text_128k)
# BUILD_DIR (default build/bench) and SFX_BENCH_DATA (default ../shared/bench)
# may be set; the bench preset is configured and built first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
data=${SFX_BENCH_DATA:-$root/../shared/bench}
command -v valgrind >/dev/null || { echo "valgrind is missing: run scripts/install-deps.sh" >&2; exit 1; }

cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" --target lzari_run >/dev/null
run=$build/bench/lzari_run

inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=("$data/mixed_1m" "$data/text_128k")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count() {  # function-to-collect, then the lzari_run arguments
    local fn=$1; shift
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --toggle-collect="$fn" \
        "$run" "$@" >/dev/null 2>"$work/cg.err" || { cat "$work/cg.err" >&2; return 1; }
    awk '/^(summary|totals):/ { print $2; exit }' "$work/cg.out"
}

printf '%-12s %10s %14s %14s\n' input bytes "encode Ir/B" "decode Ir/B"
for in in "${inputs[@]}"; do
    if [ ! -f "$in" ]; then
        echo "skipping $in: not found" >&2
        continue
    fi
    size=$(stat -c %s "$in")
    "$run" encode "$in" "$work/packed" >/dev/null
    enc=$(count 'CLzariCodec::Encode()' encode "$in" "$work/packed" 1)
    dec=$(count 'CLzariCodec::Decode()' decode "$work/packed" "$work/plain" 1)
    cmp -s "$in" "$work/plain" || { echo "round trip of $in failed" >&2; exit 1; }
    awk -v n="$(basename "$in")" -v s="$size" -v e="$enc" -v d="$dec" \
        'BEGIN { printf "%-12s %10d %14.1f %14.1f\n", n, s, e / s, d / s }'
done
