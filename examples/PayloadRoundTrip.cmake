# The sample payload packed, unpacked by the installer's engine and compared
# byte for byte with its source, by the sfxpack executable of the build
# (under Wine for the Windows build).
#
# cmake -DEXE=... [-DEMULATOR=...] -DSTUB=... -DPAYLOAD=... -DWORK=... -P PayloadRoundTrip.cmake
foreach(var EXE STUB PAYLOAD WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${EMULATOR} ${EXE} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "sfxpack ${ARGN}: exit ${rc}\n${out}\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
run(build --stub "${STUB}" --from "${PAYLOAD}" -o "${WORK}/setup.exe" --quiet)
# verify decodes every entry with the installer's reader and codec and
# compares each with its file, and names files missing on either side.
run(verify "${WORK}/setup.exe" --against "${PAYLOAD}")
run(extract "${WORK}/setup.exe" "${WORK}/dest")
file(GLOB_RECURSE expected RELATIVE "${PAYLOAD}" "${PAYLOAD}/*")
foreach(name ${expected})
  file(SHA256 "${PAYLOAD}/${name}" a)
  if(NOT EXISTS "${WORK}/dest/${name}")
    message(FATAL_ERROR "${name} was not unpacked")
  endif()
  file(SHA256 "${WORK}/dest/${name}" b)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${name} differs after unpacking")
  endif()
endforeach()
file(GLOB_RECURSE unpacked RELATIVE "${WORK}/dest" "${WORK}/dest/*")
list(LENGTH expected n_expected)
list(LENGTH unpacked n_unpacked)
if(NOT n_expected EQUAL n_unpacked)
  message(FATAL_ERROR "${n_unpacked} files unpacked, ${n_expected} in the payload")
endif()
message(STATUS "${n_expected} files unpacked byte for byte")
