# The compile and link flags Debian builds its packages with, from
# dpkg-buildflags, for the Linux build that is installed and packaged
# (option SFX_DPKG_BUILDFLAGS, on in the native preset): _FORTIFY_SOURCE,
# the stack protector, format checks, RELRO and immediate binding
# (hardening=+all), and position-independent executables. The tests of
# that build run against the same code the package holds.
find_program(SFX_DPKG_BUILDFLAGS_EXE dpkg-buildflags)
if(NOT SFX_DPKG_BUILDFLAGS_EXE)
  message(FATAL_ERROR "dpkg-buildflags not found: run scripts/install-deps.sh (package dpkg-dev)")
endif()

function(sfx_dpkg_buildflags var flag)
  # Run in the source folder, so that its -ffile-prefix-map maps the
  # sources to "." and the binary does not hold where it was built.
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${SFX_DPKG_BUILDFLAGS_EXE} --get ${flag}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-buildflags --get ${flag} failed")
  endif()
  set(${var} "${value}" PARENT_SCOPE)
endfunction()

sfx_dpkg_buildflags(sfx_cppflags CPPFLAGS)
sfx_dpkg_buildflags(sfx_cflags CFLAGS)
sfx_dpkg_buildflags(sfx_cxxflags CXXFLAGS)
sfx_dpkg_buildflags(sfx_ldflags LDFLAGS)
string(APPEND CMAKE_C_FLAGS " ${sfx_cppflags} ${sfx_cflags}")
string(APPEND CMAKE_CXX_FLAGS " ${sfx_cppflags} ${sfx_cxxflags}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${sfx_ldflags}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${sfx_ldflags}")

# Position-independent executables whatever the compiler's default.
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
message(STATUS "dpkg-buildflags: ${sfx_cppflags} ${sfx_cxxflags} ${sfx_ldflags}")
