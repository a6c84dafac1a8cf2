#!/usr/bin/env bash
# Instructions per packed byte of the installer's digest check (SHA-256 of
# every payload and of the directory, read through the engine's file class),
# counted by callgrind inside SfxCheckDigests only, and inside the SHA-256
# block function alone. The setup holds 16 copies of the packed input
# behind a stub with the digest section, as extract_bench's does.
#   bench/callgrind-digest.sh [input]      (default: mixed_1m)
# BUILD_DIR (default build/bench) and SFX_BENCH_DATA (default ../shared/bench)
# may be set; the bench preset is configured and built first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
data=${SFX_BENCH_DATA:-$root/../shared/bench}
in=${1:-$data/mixed_1m}
command -v valgrind >/dev/null || { echo "valgrind is missing: run scripts/install-deps.sh" >&2; exit 1; }
[ -f "$in" ] || { echo "$in: not found" >&2; exit 1; }

cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" --target lzari_run digest_run >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/lzari_run" encode "$in" "$work/packed" >/dev/null
"$build/bench/digest_run" make "$work/packed" "$work/setup.exe"
hashed=$("$build/bench/digest_run" check "$work/setup.exe" | awk '{ print $3 }')

count() {  # function-to-collect
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --toggle-collect="$1" \
        "$build/bench/digest_run" check "$work/setup.exe" >/dev/null 2>"$work/cg.err" || { cat "$work/cg.err" >&2; return 1; }
    awk '/^(summary|totals):/ { print $2; exit }' "$work/cg.out"
}
check=$(count 'SfxCheckDigests(*')
blocks=$(count 'CSha256::Blocks(*')
awk -v n="$(basename "$in")" -v h="$hashed" -v c="$check" -v b="$blocks" \
    'BEGIN { printf "%-12s %12s %16s %16s\n", "input", "bytes hashed", "check Ir/B", "SHA-256 Ir/B";
             printf "%-12s %12d %16.2f %16.2f\n", n, h, c / h, b / h }'
