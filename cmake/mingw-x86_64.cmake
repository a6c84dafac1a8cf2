# Cross-compiles the 64-bit twin of the Windows executables from the same
# sources, and runs its tests under the 64-bit Wine loader in a 64-bit
# prefix of its own: the Windows suite on machines that cannot execute
# 32-bit programs. Nothing built here ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SFX_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64-run)
