#!/usr/bin/env bash
# The main job: pack the sample payload (with the sample client built from
# source) behind the installer stub, show what went in, and run the
# installer under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sfxpack=build/native/tools/sfxpack/sfxpack
demo=build/demo

# The 32-bit setup we ship where Wine's 32-bit loader starts here; else the
# same setup built from the 64-bit twin (scripts/wine-arch.sh says why).
arch=$(bash scripts/wine-arch.sh)
if [ "$arch" = 64 ]; then
  echo "== this run installs the 64-bit twin's setup (build/OrvexSetup-win64.exe) under wine64;"
  echo "   build/OrvexSetup.exe, the 32-bit setup we ship, is packed too but not run"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
else
  echo "== this run installs the 32-bit setup we ship (build/OrvexSetup.exe) under Wine's 32-bit loader"
fi
export SFX_WINE_ARCH=$arch
build=build/win$arch
stub=$build/app/OrvexStub.exe
client=$build/examples/Rendo.exe
release_setup=build/OrvexSetup.exe
setup=$release_setup
[ "$arch" = 64 ] && setup=build/OrvexSetup-win64.exe

for f in "$sfxpack" build/win32/app/OrvexStub.exe build/win32/examples/Rendo.exe "$stub" "$client"; do
  [ -f "$f" ] || { echo "demo: $f is missing; run 'make native win32' first" >&2; exit 1; }
done

rm -rf "$demo"
mkdir -p "$demo/payload"
cp -r examples/payload/. "$demo/payload/"
cp "$client" "$demo/payload/Rendo.exe"
# Some megabytes of message history, so that the progress bar has time to
# move while a person watches (the same bytes on every run).
mkdir -p "$demo/payload/data"
python3 - "$demo/payload/data" <<'PY'
import random, sys
words = ("message contact group file transfer online offline status history archive "
         "server client session login image voice 通讯 消息 联系人 群组 文件").split()
for part in range(4):
    rng = random.Random(part)
    with open(f"{sys.argv[1]}/history{part}.dat", "w", encoding="utf-8") as f:
        for line in range(60000):
            f.write(f"{line:06d} " + " ".join(rng.choice(words) for _ in range(9)) + "\n")
PY

echo "== packing the sample payload behind the installer stub"
if [ "$arch" = 64 ]; then
  # The release setup carries the 32-bit client; the twin's its own.
  mkdir -p "$demo/release-payload"
  cp -r "$demo/payload/." "$demo/release-payload/"
  cp build/win32/examples/Rendo.exe "$demo/release-payload/Rendo.exe"
  "$sfxpack" build --stub build/win32/app/OrvexStub.exe --from "$demo/release-payload" -o "$release_setup" --quiet
  echo "(the 32-bit setup we ship: $release_setup)"
fi
"$sfxpack" build --stub "$stub" --from "$demo/payload" -o "$setup"
echo
echo "== what the installer carries"
"$sfxpack" list "$setup"
echo
echo "== every entry decodes to the file it was packed from"
"$sfxpack" verify "$setup" --against "$demo/payload"


echo
echo "== signing the setup with a throwaway certificate (made now, never kept)"
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Orvex demo signing" \
  -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
signed=${setup%.exe}-signed.exe
rm -f "$signed"
osslsigncode sign -certs "$keys/cert.pem" -key "$keys/key.pem" -n "Orvex" -in "$setup" -out "$signed" >/dev/null
"$sfxpack" list "$signed" | tail -n 1
echo -n "osslsigncode verify: "
osslsigncode verify -CAfile "$keys/cert.pem" -in "$signed" | tail -n 1

echo
echo "== running $setup under Wine (the second run installs the signed setup)"
scripts/demo-run.sh "$setup" "$signed"

# The README's pictures, one of each state a user meets, at twice their
# size pixel for pixel (the 9-point Chinese text stays sharp on dense
# screens; the README shows them at their own size). Copy them over docs/
# to update the README.
readme=$demo/readme
mkdir -p "$readme"
for shot in first/ready first/folder-picker first/extracting second/keep-data first/counting-down; do
  convert "$demo/$shot.png" -filter point -resize 200% -strip -define png:compression-level=9 \
    "$readme/$(basename "$shot").png"
done
echo "README pictures: build/demo/readme/ (cp build/demo/readme/*.png docs/ to update the README)"
