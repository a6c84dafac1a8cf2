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

# The twin's tests that run beside the 32-bit suite: the layers where the
# widths differ (pointers in messages and window data, structure sizes, COM
# and shell calls, the entry symbol): the window layer, the folder picker,
# the progress bar, the shortcut, the registry, the files, the headers, and
# the client and the installer started as processes of their own. Left out
# there, to keep `make test` within 15 minutes on 2 cores: the codec, the
# engine and sfxpack (portable code that the native and sanitizer builds
# run at 64 bits as well) and the in-process dialog and start-up tests,
# whose code above the window layer is the same at both widths.
twin_beside_release='^(window_layer_test|folder_picker_test|percent_progress_test|desktop_shortcut_test|registry_test|framework_test|shipped_executables_test|sample_client_test|stub_process_test)$'

arch=$(bash scripts/wine-arch.sh)
# Each prefix is made before its suite starts, not by whichever test comes
# first while others start beside it.
prefix() { SFX_WINE_ARCH=$1 bash scripts/wine-prefix.sh; }
if [ "$arch" = 32 ]; then
  prefix 32
  prefix 64
  echo "== the 32-bit executables we ship, under Wine's 32-bit loader"
  ctest --preset win32
  echo "== their 64-bit twin, under wine64: the tests where the widths differ"
  ctest --preset win64 -R "$twin_beside_release"
else
  prefix 64
  echo "== the 32-bit executables we ship: the checks that need no 32-bit Wine"
  ctest --preset win32 -LE wine
  echo "== their 64-bit twin, under wine64: the whole suite, with the 32-bit executables' headers and signed setup"
  ctest --preset win64
fi
