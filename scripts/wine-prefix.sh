#!/usr/bin/env bash
# Creates the private Wine prefix once: boots it, keeps its user folders
# inside the prefix (never linked to the host's home), and maps the Chinese
# UI font "宋体"/"SimSun" to an installed CJK font so dialogs render.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
stamp="$WINEPREFIX/.sfx-ready"
[ -f "$stamp" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
# Parallel test runs may all find the prefix missing: one creates it, the
# others wait for it.
exec 8>"$WINEPREFIX.lock"
flock 8
[ -f "$stamp" ] && exit 0
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 8>&- || true
wineserver -w
# Wine links Desktop, Documents, ... to the host home; tests must never touch that.
users="$WINEPREFIX/drive_c/users"
find "$users" -maxdepth 2 -type l | while read -r link; do rm -f "$link"; mkdir -p "$link"; done
# Caption buttons are drawn with Marlett; this Wine build does not look in
# its own font folder, so give the prefix a copy.
for f in /usr/share/wine/fonts/marlett.ttf; do
  [ -f "$f" ] && cp "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
done
reg=$(mktemp --suffix=.reg)
font=$(fc-match -f '%{file}' 'WenQuanYi Zen Hei' 2>/dev/null || true)
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"SimSun"="WenQuanYi Zen Hei"\r\n"NSimSun"="WenQuanYi Zen Hei"\r\n' > "$reg"
# The Chinese name of SimSun, written in the registry file's own code page (936).
printf '"\xcb\xce\xcc\xe5"="WenQuanYi Zen Hei"\r\n"MS Shell Dlg"="WenQuanYi Zen Hei"\r\n' >> "$reg"
# Xvfb has no window manager: let Wine draw captions and frames itself, so
# screenshots show windows as a user sees them.
printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' >> "$reg"
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
wineserver -w
rm -f "$reg"
touch "$stamp"
echo "wine prefix ready: $WINEPREFIX${font:+ (CJK font $font)}"
