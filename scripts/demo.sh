#!/usr/bin/env bash
# The main job: pack the sample payload (with the sample client built from
# source) behind the installer stub, show what went in, and run the
# installer under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sfxpack=build/native/tools/sfxpack/sfxpack
stub=build/win32/app/OrvexStub.exe
client=build/win32/examples/Rendo.exe
demo=build/demo
setup=build/OrvexSetup.exe

for f in "$sfxpack" "$stub" "$client"; do
  [ -f "$f" ] || { echo "demo: $f is missing; run 'make native win32' first" >&2; exit 1; }
done

rm -rf "$demo"
mkdir -p "$demo/payload"
cp -r examples/payload/. "$demo/payload/"
cp "$client" "$demo/payload/Rendo.exe"
# A few megabytes of message history, so the progress bar has time to move.
mkdir -p "$demo/payload/data"
seq -f "%08g Orvex message history: the quick brown fox jumps over the lazy dog" 1 60000 > "$demo/payload/data/history.dat"

echo "== packing the sample payload behind the installer stub"
"$sfxpack" build --stub "$stub" --from "$demo/payload" -o "$setup"
echo
echo "== what the installer carries"
"$sfxpack" list "$setup"
echo
echo "== every entry decodes to the file it was packed from"
"$sfxpack" verify "$setup" --against "$demo/payload"

echo
echo "== running the installer under Wine"
scripts/demo-run.sh "$setup"
