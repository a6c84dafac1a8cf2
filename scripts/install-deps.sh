#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 wine64
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

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

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

# The installer's texts are GBK; Wine derives the ANSI code page from the locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
