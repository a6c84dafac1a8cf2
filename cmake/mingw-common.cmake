# What both Windows toolchains share: mingw-w64 with the posix thread model
# (std::mutex and GoogleTest work), and Wine as the emulator that runs the
# test executables. The including file sets SFX_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SFX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SFX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SFX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SFX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
