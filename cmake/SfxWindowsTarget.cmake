# The one place where the 32-bit executables we ship and their 64-bit twin
# (built from the same sources by the win64 preset, for machines that cannot
# run 32-bit programs) differ in the build.
#
#   SFX_WINDOWS_BITS     32 or 64
#   SFX_SYMBOL_PREFIX    what the C compiler puts before a C symbol's name:
#                        "_" on 32-bit x86, nothing on x86-64 (the linker's
#                        --entry takes the symbol's own name)
#   SFX_RELEASE_BUILD    ON for the executables we ship (32-bit)
#
# The code tells the two apart only through sizeof(void*) and the
# structures' own sizes (framework/win32/TargetAbi.h).
if(NOT WIN32)
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SFX_WINDOWS_BITS 64)
  set(SFX_SYMBOL_PREFIX "")
  set(SFX_RELEASE_BUILD OFF)
else()
  set(SFX_WINDOWS_BITS 32)
  set(SFX_SYMBOL_PREFIX "_")
  set(SFX_RELEASE_BUILD ON)
endif()
if(SFX_RELEASE_BUILD)
  message(STATUS "Windows executables: 32-bit, the ones we ship")
else()
  message(STATUS "Windows executables: the 64-bit twin (tests only; nothing built here ships)")
endif()

# The twin's suite also checks what needs no 32-bit Wine of the executables
# we ship (their headers, a signed 32-bit setup), so that a machine that can
# run only the twin still checks the release: they are taken from here.
if(NOT SFX_RELEASE_BUILD)
  set(SFX_RELEASE_BINARY_DIR ${PROJECT_SOURCE_DIR}/build/win32 CACHE PATH
      "The build folder of the 32-bit executables we ship (the win32 preset)")
endif()
