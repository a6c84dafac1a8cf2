# The stub is a function of the sources: a copy of the sources in another
# folder, configured and built there, gives the same bytes as this build.
# Only the stub's own target is built, without the tests.
#
# cmake -DSOURCE=... -DSTUB=... -DWORK=... -P ReproducibleStub.cmake
foreach(var SOURCE STUB WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/elsewhere")
file(GLOB entries RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(entry ${entries})
  if(NOT entry MATCHES "^(build|\\..*)$")
    file(COPY "${SOURCE}/${entry}" DESTINATION "${WORK}/elsewhere")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S "${WORK}/elsewhere" -B "${WORK}/elsewhere/out" -G Ninja
                        -DCMAKE_TOOLCHAIN_FILE=${WORK}/elsewhere/cmake/mingw-i686.cmake
                        -DCMAKE_BUILD_TYPE=MinSizeRel -DSFX_BUILD_TESTS=OFF
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc STREQUAL "0")
  message(FATAL_ERROR "configuring the second build failed:\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/elsewhere/out" --target orvex_stub
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc STREQUAL "0")
  message(FATAL_ERROR "building the second stub failed:\n${out}\n${err}")
endif()
file(SHA256 "${STUB}" first)
file(SHA256 "${WORK}/elsewhere/out/app/OrvexStub.exe" second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "the stub built in ${WORK}/elsewhere differs from ${STUB}")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "the stub built in another folder is byte-identical")
