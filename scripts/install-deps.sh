#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64
  xvfb x11-apps x11-utils imagemagick xdotool
  fonts-wqy-zenhei fonts-wine
  locales
  googletest libbenchmark-dev
  nlohmann-json3-dev
  clang libclang-rt-14-dev
  valgrind
  osslsigncode openssl
  man-db groff-base
  dpkg-dev lintian mandoc
  python3
)

# Wine's 32-bit loader (wine32, an i386 package) only where this machine
# can execute 32-bit x86 programs at all: elsewhere the i386 packages'
# install scripts fail with "Exec format error" and leave dpkg half done,
# and the tests run the 64-bit twin instead (scripts/wine-arch.sh). The
# probe is the smallest static 32-bit x86 program: exit(42) by int 0x80.
can_run_i386() {
  local probe rc
  probe=$(mktemp) || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null; rc=$?
  rm -f "$probe"
  [ "$rc" = 42 ]
}
need_i386=0
if can_run_i386; then
  packages+=(wine32:i386)
  dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q '^install ok installed$'; then
  echo "install-deps: this machine cannot execute 32-bit x86 programs; wine32 is left out (the tests run the 64-bit twin)"
fi

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  status=$(dpkg-query -W -f='${Status}' "$q" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ "$need_i386" = 1 ] || [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  [ "$need_i386" = 1 ] && $SUDO dpkg --add-architecture i386
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The installer's texts are GBK; Wine derives the ANSI code page from the
# locale, and converts the host's file names with it: zh_CN is the default,
# the others are the code pages the installer is also run on (1252, 932,
# 949, 950; SFX_WINE_LANG in scripts/wine-env.sh).
missing_locales=()
for l in zh_CN en_US ja_JP ko_KR zh_TW; do
  locale -a 2>/dev/null | grep -qix "$l.utf8" || missing_locales+=("$l")
done
if [ "${#missing_locales[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  for l in "${missing_locales[@]}"; do
    $SUDO sed -i "s/^# *\($l.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen || echo "$l.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
