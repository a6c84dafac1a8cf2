# Text the user sees is GBK (code page 936) inside the executable, while
# the sources stay UTF-8.
function(sfx_gbk_literals target)
  target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=GBK)
endfunction()

# sfx_target_path(VAR HOST_PATH): HOST_PATH as the test executables see it.
# The win32 tests run under Wine, which reaches the host's root as drive Z:.
function(sfx_target_path var host_path)
  if(WIN32)
    string(REPLACE "/" "\\\\" target_path "Z:${host_path}")
  else()
    set(target_path ${host_path})
  endif()
  set(${var} ${target_path} PARENT_SCOPE)
endfunction()

# sfx_add_test(NAME SOURCES ... [LIBS ...] [WINDOWS_ONLY] [NATIVE_ONLY]
#              [GBK] [TIMEOUT s] [LABELS ...])
# One GoogleTest executable, registered as one ctest test. On the win32
# build ctest runs it under Wine (the toolchain's emulator).
function(sfx_add_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;GBK;SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT SFX_BUILD_TESTS)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gmock gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(T_GBK)
    sfx_gbk_literals(${name})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# sfx_shipped_executable(TARGET)
# What every executable we ship to Windows carries: an entry point that
# narrows the DLL search before anything else runs (framework/win32/
# DllSearch.h).
function(sfx_shipped_executable target)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(windowed ${target} WIN32_EXECUTABLE)
  if(windowed)
    set(entry SfxGuiEntry)
  else()
    set(entry SfxConsoleEntry)
  endif()
  target_link_libraries(${target} PRIVATE framework_dll_search)
  target_link_options(${target} PRIVATE -Wl,--entry=_${entry} -Wl,--undefined=_${entry})
endfunction()
