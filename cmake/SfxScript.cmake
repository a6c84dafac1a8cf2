# Helpers for the test scripts that ctest runs with cmake -P.

# Stops with a message when one of the named variables was not given (-D).
function(sfx_require)
  foreach(var ${ARGN})
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "${var} is not set")
    endif()
  endforeach()
endfunction()

# Runs a command that must succeed; its standard output is left in last_out.
function(sfx_check_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "${ARGN}: exit ${rc}\n${out}\n${err}")
  endif()
  set(last_out "${out}" PARENT_SCOPE)
endfunction()
