# Cross-compiles the 32-bit Windows executables, the ones we ship, and runs
# their tests under 32-bit Wine in a 32-bit prefix.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SFX_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
