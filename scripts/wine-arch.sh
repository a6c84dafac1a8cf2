#!/usr/bin/env bash
# Which Windows build this machine runs: prints 32 when Wine's 32-bit loader
# starts here (the executables we ship run, in build/wineprefix), else 64
# (their 64-bit twin, under the 64-bit loader in build/wineprefix64), and
# says why on stderr in one line when it is not 32.
#
# The answer rests on the capability itself, not on the kernel or the
# distribution: some machines cannot execute 32-bit x86 programs at all
# (containers and light VMs without IA-32 emulation), and there the loader
# fails with "Exec format error".
#   SFX_FORCE_WIN64=1     the twin on any machine
#   SFX_WINE32_LOADER     the loader to try (Debian's /usr/lib/wine/wine)
set -u
loader=${SFX_WINE32_LOADER:-/usr/lib/wine/wine}
if [ -n "${SFX_FORCE_WIN64:-}" ] && [ "$SFX_FORCE_WIN64" != 0 ]; then
  echo "windows: SFX_FORCE_WIN64 is set: the 64-bit twin runs under wine64 instead of the 32-bit executables" >&2
  echo 64
  exit 0
fi
if said=$("$loader" --version 2>&1 </dev/null); then
  echo 32
  exit 0
fi
said=$(printf '%s' "$said" | tr '\n' ' ' | sed 's/ *$//' | cut -c1-200)
echo "windows: Wine's 32-bit loader does not start here ($loader --version: ${said:-no output}); the 64-bit twin runs under wine64 instead" >&2
echo 64
