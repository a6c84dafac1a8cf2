# Sourced by the scripts that run Windows programs: one private Wine prefix
# under build/, the Chinese ANSI code page (936) and a virtual display.
_sfx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${SFX_WINEPREFIX:-$_sfx_root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers, and no host menu or desktop entries for links.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
: "${SFX_DISPLAY:=:77}"
