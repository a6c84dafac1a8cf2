# sfxpack as it is installed: cmake --install puts the executable and its
# man page under a prefix, the version is the project's, the man page
# shows every --help page and is clean for mandoc, and the Debian package
# holds both files and passes lintian.
#
# cmake -DBUILD=... -DVERSION=... -DWORK=... [-DLINTIAN=1] -P Installed.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/SfxScript.cmake)
sfx_require(BUILD VERSION WORK)

file(REMOVE_RECURSE "${WORK}")
sfx_check_run(${CMAKE_COMMAND} --install "${BUILD}" --prefix "${WORK}/prefix")
set(exe "${WORK}/prefix/bin/sfxpack")
set(page "${WORK}/prefix/share/man/man1/sfxpack.1.gz")
sfx_check_run("${exe}" --version)
if(NOT last_out STREQUAL "sfxpack ${VERSION}\n")
  message(FATAL_ERROR "--version says '${last_out}', the project is ${VERSION}")
endif()

# Every section of every --help page (the overview's too) reads the same in
# the man page as man shows it, unhyphenated.
sfx_check_run(env LC_ALL=C.UTF-8 MANWIDTH=1000 MANROFFOPT=-rHY=0 man -l -P cat "${page}")
string(REPLACE ";" "," manual "${last_out}")
string(REGEX REPLACE "[ \n]+" " " manual "${manual}")
foreach(command "" build list verify extract diff encode decode)
  sfx_check_run("${exe}" help ${command})
  string(REPLACE ";" "," help "\n${last_out}")
  string(REGEX REPLACE "\n([A-Z][A-Z ]*[A-Z])\n" ";\\1:" sections "${help}")
  foreach(section IN LISTS sections)
    if(NOT section MATCHES "^([A-Z ]+):(.*)$")
      continue()  # the overview's first lines
    endif()
    set(heading "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "[ \n]+" " " text "${CMAKE_MATCH_2}")
    if(heading MATCHES "^(NAME|SYNOPSIS)$")
      continue()  # a section heading and a synopsis line in the man page
    endif()
    string(FIND "${manual}" "${text}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the man page lacks ${heading} of 'sfxpack help ${command}':\n${text}")
    endif()
  endforeach()
endforeach()

find_program(MANDOC mandoc)
if(MANDOC)
  execute_process(COMMAND ${MANDOC} -Tlint "${page}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    message(FATAL_ERROR "mandoc -Tlint on the man page: exit ${rc}\n${out}${err}")
  endif()
else()
  message(STATUS "mandoc is not installed: the man page is not linted")
endif()

sfx_check_run(cpack -G DEB --config "${BUILD}/CPackConfig.cmake" -B "${WORK}/package")
file(GLOB deb "${WORK}/package/sfxpack_${VERSION}_*.deb")
sfx_check_run(dpkg-deb --contents ${deb})
foreach(path ./usr/bin/sfxpack ./usr/share/man/man1/sfxpack.1.gz)
  string(FIND "${last_out}" " ${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks ${path}:\n${last_out}")
  endif()
endforeach()
# lintian, on the build that is packaged (Debian's flags; the sanitizer
# build is not). Info tags count too, where the hardening ones are; the
# spelling check reads words into the machine code's immediates ("buil" of
# a comparison with "build") and is left out.
if(LINTIAN)
  find_program(LINTIAN_EXE lintian REQUIRED)
  execute_process(COMMAND ${LINTIAN_EXE} --display-info --fail-on error,warning,info
                          --suppress-tags spelling-error-in-binary ${deb}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "lintian on ${deb}: exit ${rc}\n${out}${err}")
  endif()
endif()
file(REMOVE_RECURSE "${WORK}")
