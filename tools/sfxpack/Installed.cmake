# sfxpack as it is installed: cmake --install puts the executable and its
# man page under a prefix, the version is the project's, the man page
# shows every --help page, and the Debian package holds both files and
# passes lintian.
#
# cmake -DBUILD=... -DVERSION=... -DWORK=... -P Installed.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/SfxScript.cmake)
sfx_require(BUILD VERSION WORK)

file(REMOVE_RECURSE "${WORK}")
sfx_check_run(${CMAKE_COMMAND} --install "${BUILD}" --prefix "${WORK}/prefix")
set(exe "${WORK}/prefix/bin/sfxpack")
sfx_check_run("${exe}" --version)
if(NOT last_out STREQUAL "sfxpack ${VERSION}\n")
  message(FATAL_ERROR "--version says '${last_out}', the project is ${VERSION}")
endif()
sfx_check_run(env MANWIDTH=200 man -l -P cat "${WORK}/prefix/share/man/man1/sfxpack.1.gz")
string(REGEX REPLACE "[ \n]+" " " manual "${last_out}")
foreach(command build list verify extract diff encode decode)
  sfx_check_run("${exe}" ${command} --help)
  string(REGEX REPLACE "[ \n]+" " " help "${last_out}")
  string(REGEX REPLACE "^NAME sfxpack [a-z]+ SYNOPSIS (.*) EXIT STATUS .*$" "\\1" help "${help}")
  string(FIND "${manual}" "${help}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the man page lacks the --help page of ${command}:\n${help}")
  endif()
endforeach()

sfx_check_run(cpack -G DEB --config "${BUILD}/CPackConfig.cmake" -B "${WORK}/package")
file(GLOB deb "${WORK}/package/sfxpack_${VERSION}_*.deb")
sfx_check_run(dpkg-deb --contents ${deb})
foreach(path ./usr/bin/sfxpack ./usr/share/man/man1/sfxpack.1.gz)
  string(FIND "${last_out}" " ${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks ${path}:\n${last_out}")
  endif()
endforeach()
# Info tags count too, where the hardening ones are; the spelling check
# reads words into the machine code's immediates ("buil" of a comparison
# with "build") and is left out.
find_program(LINTIAN lintian REQUIRED)
execute_process(COMMAND ${LINTIAN} --display-info --fail-on error,warning,info --suppress-tags spelling-error-in-binary ${deb}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lintian on ${deb}: exit ${rc}\n${out}${err}")
endif()
file(REMOVE_RECURSE "${WORK}")
