# Sourced by the scripts that run Windows programs: one private Wine prefix
# under build/, the Chinese ANSI code page (936) unless SFX_WINE_LANG names
# another locale, and a virtual display.
#
# SFX_WINE_ARCH chooses the build: 32 (the default) runs the executables we
# ship with Wine's 32-bit loader in build/wineprefix; 64 runs their 64-bit
# twin with the 64-bit loader in a 64-bit prefix of its own,
# build/wineprefix64 (scripts/wine-arch.sh tells which one a machine can run).
# "$SFX_WINE" is the command that starts a Windows program (wineboot,
# winepath, reg and regedit included) with the chosen loader.
_sfx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "${SFX_WINE_ARCH:-32}" in
  64)
    export WINEPREFIX="${SFX_WINEPREFIX:-$_sfx_root/build/wineprefix64}"
    export WINEARCH=win64
    SFX_WINE=$_sfx_root/scripts/wine64
    ;;
  *)
    export WINEPREFIX="${SFX_WINEPREFIX:-$_sfx_root/build/wineprefix}"
    export WINEARCH=win32
    SFX_WINE=wine
    ;;
esac
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers, and no host menu or desktop entries for links.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
# Wine takes the ANSI code page from the locale; SFX_WINE_LANG runs a program on another one (en_US.UTF-8: 1252).
export LANG="${SFX_WINE_LANG:-zh_CN.UTF-8}"
export LC_ALL="$LANG"
# Each build's programs on a virtual display of their own: two prefixes'
# desktops on one display wait on each other when their runs meet.
if [ "${SFX_WINE_ARCH:-32}" = 64 ]; then
  : "${SFX_DISPLAY:=:79}"
else
  : "${SFX_DISPLAY:=:77}"
fi
