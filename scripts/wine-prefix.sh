#!/usr/bin/env bash
# Creates the private Wine prefix once: boots it, keeps its user folders
# inside the prefix (never linked to the host's home), and maps the Chinese
# UI font "宋体"/"SimSun" to an installed CJK font so dialogs render legibly.
#
# The registry settings below are kept in the prefix's stamp file: when they
# change here, an existing prefix gets the new settings on its next use,
# without being created again.
set -euo pipefail
# Made and updated on code page 936 whatever the caller runs on: the
# settings file below is read in the ANSI code page.
unset SFX_WINE_LANG
source "$(dirname "$0")/wine-env.sh"
stamp="$WINEPREFIX/.sfx-ready"

# The face that stands in for "宋体"/SimSun/NSimSun (the dialogs' font, 9
# points, about 12 pixels) and for MS Shell Dlg (the folder picker, the
# message boxes): WenQuanYi Zen Hei Sharp, whose hand-drawn bitmaps at that
# size give black, whole strokes. Chosen by looking at every picture of
# `make demo` and of the window tests with each installed candidate:
# WenQuanYi Zen Hei (the outline face) loses strokes at 12 pixels ("通讯" in
# the folder reads as "证i-", "拷贝" and "启动" fall apart); AR PL UMing CN,
# a Ming face like SimSun, keeps every character but draws its thin strokes
# in pale grey, hard to read at that size; the Sharp face reads cleanly in
# every text of both dialogs.
cjk_face="WenQuanYi Zen Hei Sharp"

settings() {
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"SimSun"="%s"\r\n"NSimSun"="%s"\r\n"MS Shell Dlg"="%s"\r\n' "$cjk_face" "$cjk_face" "$cjk_face"
  # The Chinese name of SimSun, written in the registry file's own code page (936).
  printf '"\xcb\xce\xcc\xe5"="%s"\r\n' "$cjk_face"
  # Xvfb has no window manager: let Wine draw captions and frames itself, so
  # screenshots show windows as a user sees them.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
}

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
settings > "$reg"
cmp -s "$reg" "$stamp" 2>/dev/null && exit 0

mkdir -p "$(dirname "$WINEPREFIX")"
# Parallel test runs may all find the prefix missing or out of date: one
# prepares it, the others wait for it.
exec 8>"$WINEPREFIX.lock"
flock 8
cmp -s "$reg" "$stamp" 2>/dev/null && exit 0

if [ ! -f "$stamp" ]; then
  rm -rf "$WINEPREFIX"
  # What Wine says is kept: a prefix that cannot be made stops here with it,
  # rather than every later step failing on a folder that is not there.
  # (A file, not a pipe: the wineserver it starts would hold a pipe open.)
  said_file=$(mktemp)
  "$SFX_WINE" wineboot -i >"$said_file" 2>&1 8>&- && booted=1 || booted=0
  wineserver -w 8>&- || true
  said=$(cat "$said_file"); rm -f "$said_file"
  users="$WINEPREFIX/drive_c/users"
  if [ "$booted" = 0 ] || [ ! -d "$users" ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-prefix: Wine could not make the $WINEARCH prefix $WINEPREFIX; it said:" >&2
    printf '%s\n' "${said:-(nothing)}" | tail -n 20 | sed 's/^/  /' >&2
    exit 1
  fi
  # Wine links Desktop, Documents, ... to the host home; tests must never touch that.
  find "$users" -maxdepth 2 -type l | while read -r link; do rm -f "$link"; mkdir -p "$link"; done
  # Caption buttons are drawn with Marlett; this Wine build does not look in
  # its own font folder, so give the prefix a copy.
  for f in /usr/share/wine/fonts/marlett.ttf; do
    [ -f "$f" ] && cp "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
fi

font=$(fc-list -f '%{file}\n' "$cjk_face" 2>/dev/null | head -n 1)
[ -n "$font" ] || echo "wine-prefix: the font \"$cjk_face\" is not installed (run scripts/install-deps.sh); Chinese text will not render legibly" >&2
"$SFX_WINE" regedit /S "$("$SFX_WINE" winepath -w "$reg" 8>&-)" >/dev/null 2>&1 8>&-
wineserver -w
cp "$reg" "$stamp"
echo "wine prefix ready: $WINEPREFIX ($WINEARCH)${font:+ (CJK font $font)}"
