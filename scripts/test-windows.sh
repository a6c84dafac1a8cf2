#!/usr/bin/env bash
# The Windows half of `make test`, on whichever Windows build this machine
# can run (scripts/wine-arch.sh decides, and says so when it is not the
# 32-bit one):
#
#  - where Wine's 32-bit loader starts: the whole suite of the 32-bit
#    executables we ship, then the part of the 64-bit twin's suite that
#    tries what differs between the widths, so that neither path rots;
#  - elsewhere: the 32-bit executables' checks that need no 32-bit Wine (the
#    reproducible stub; their headers and a signed 32-bit setup are read by
#    the twin's suite), then the twin's whole suite.
#
# Both builds must be built first (make win32 win64).
set -euo pipefail
cd "$(dirname "$0")/.."

# The twin's tests that run beside the 32-bit suite: the window layer, the
# dialogs, the shell and the registry, and the installer and the client
# started from their own entry points, where pointer widths, structure
# sizes and the entry symbol differ. Left out there: the codec, the engine
# and sfxpack, the same portable code that the native and sanitizer builds
# already run at 64 bits and the 32-bit suite runs under Wine.
twin_portable_only='^(lzari_test|archive_engine_test|sfxpack_test|sfxpack_cli|sample_payload_round_trip|release_signed_setup)$'

arch=$(bash scripts/wine-arch.sh)
if [ "$arch" = 32 ]; then
  echo "== the 32-bit executables we ship, under Wine's 32-bit loader"
  ctest --preset win32
  echo "== their 64-bit twin, under wine64: the tests where the widths differ"
  ctest --preset win64 -E "$twin_portable_only"
else
  echo "== the 32-bit executables we ship: the checks that need no 32-bit Wine"
  ctest --preset win32 -LE wine
  echo "== their 64-bit twin, under wine64: the whole suite, with the 32-bit executables' headers and signed setup"
  ctest --preset win64
fi
