#!/usr/bin/env bash
# Runs the packed installer under Wine twice (the second time SETUP2, e.g.
# the signed setup, when given), the way a user meets it:
# first on a machine without the client, then over that installation
# (registered in the registry as the client does), keeping its user data.
# A driver clicks through each run and saves pictures of every state under
# build/demo/. On a machine with a display (SFX_USE_HOST_DISPLAY=1 and
# DISPLAY set) the windows appear there; otherwise on Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
setup=$(realpath "$1")
second_setup=$(realpath "${2:-$1}")
# SFX_WINE_ARCH (32 or 64, from demo.sh) says which build's driver and Wine.
driver=$(realpath "build/win${SFX_WINE_ARCH:-32}/examples/DemoDriver.exe")
demo=$root/build/demo

export SFX_WINEPREFIX=$demo/wineprefix
source scripts/wine-env.sh
if [ -n "${SFX_USE_HOST_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
  echo "(on your display $DISPLAY)"
else
  export DISPLAY=$SFX_DISPLAY
  scripts/xvfb-up.sh "$DISPLAY"
  echo "(on the virtual display $DISPLAY; pictures in build/demo/)"
fi
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
scripts/wine-prefix.sh >/dev/null

key='HKLM\Software\Microsoft\Windows\CurrentVersion\QXClient'
drive_c=$WINEPREFIX/drive_c

run_installer() {  # NAME [SETUP]
  local out=$demo/$1 driver_failed=0
  mkdir -p "$out"
  "$SFX_WINE" "${2:-$setup}" &
  local installer=$!
  "$SFX_WINE" "$driver" "$("$SFX_WINE" winepath -w "$out")" | tr -d '\r' | tee "$out/driver.log" | sed 's/^/  /' || driver_failed=1
  wait "$installer" || echo "  (the installer ended with status $?)"
  for bmp in "$out"/*.bmp; do
    [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  [ "$driver_failed" = 0 ] || { echo "demo: the $1 installation did not go through" >&2; exit 1; }
}

echo "-- first installation (no earlier client registered)"
"$SFX_WINE" reg delete "$key" /f >/dev/null 2>&1 || true
run_installer first
folder=$(sed -n 's/^folder: //p' "$demo/first/driver.log" | head -n 1)
host_folder=$drive_c/${folder#[cC]:\\}
host_folder=${host_folder//\\//}
[ -f "$host_folder/rendo-started.txt" ] && echo "  the client was started from $folder"
ls "$drive_c"/users/*/Desktop 2>/dev/null | sed 's/^/  desktop: /' || true

# The client is running now (a file in use cannot be replaced): let it end.
wineserver -w
echo "-- the client registers its folder and the user writes some data"
"$SFX_WINE" reg add "$key" /v mainpath /d "$folder" /f >/dev/null
echo "messages the user must not lose" > "$host_folder/user/keep01.pst"
rm -f "$host_folder/rendo-started.txt"

echo "-- second installation over the first, keeping the user data"
run_installer second "$second_setup"
second=$(sed -n 's/^folder: //p' "$demo/second/driver.log" | head -n 1)
[ "$second" = "$folder" ] || { echo "demo: the second installation went to $second, not over $folder" >&2; exit 1; }
if grep -q "messages the user must not lose" "$host_folder/user/keep01.pst"; then
  echo "  user\\keep01.pst kept"
else
  echo "  user\\keep01.pst was NOT kept" >&2
  exit 1
fi
[ -f "$host_folder/rendo-started.txt" ] && echo "  the client was started again"
echo
echo "pictures:"
ls "$demo"/first/*.png "$demo"/second/*.png 2>/dev/null | sed "s|^$root/|  |"
