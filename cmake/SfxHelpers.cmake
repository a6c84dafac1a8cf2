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

# sfx_wine_test(NAME): marks a test of a Windows build that needs Wine to
# run its programs (label "wine"; a machine that cannot run this build's
# Wine runs the others only) and tells the scripts it calls which prefix
# belongs to this build.
function(sfx_wine_test name)
  if(WIN32)
    set_property(TEST ${name} APPEND PROPERTY LABELS wine)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT SFX_WINE_ARCH=${SFX_WINDOWS_BITS})
  endif()
endfunction()

# sfx_add_test(NAME SOURCES ... [LIBS ...] [WINDOWS_ONLY] [NATIVE_ONLY]
#              [GBK] [SERIAL] [NO_TEST] [TIMEOUT s] [LABELS ...])
# One GoogleTest executable, registered as one ctest test (NO_TEST: built
# only, for a caller that registers its runs itself). On the Windows
# builds ctest runs it under Wine (the toolchain's emulator).
function(sfx_add_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;GBK;SERIAL;NO_TEST" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
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
  if(T_NO_TEST)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  sfx_wine_test(${name})
  if(T_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# sfx_shipped_executable(TARGET DESCRIPTION text [CHINESE])
# What every executable we ship to Windows carries: an entry point that
# narrows the DLL search before anything else runs (framework/win32/
# DllSearch.h), the terminal-server flag, and a manifest and a version
# resource written from the project() version (res/Identity.*.in).
# CHINESE: the version texts are Simplified Chinese, as the setup's are.
function(sfx_shipped_executable target)
  cmake_parse_arguments(S "CHINESE" "DESCRIPTION" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  get_target_property(output ${target} OUTPUT_NAME)
  if(NOT output)
    set(output ${target})
  endif()
  set(SFX_IDENTITY_NAME ${output})
  set(SFX_IDENTITY_DESCRIPTION ${S_DESCRIPTION})
  set(SFX_IDENTITY_FILE ${output}.exe)
  if(S_CHINESE)
    set(SFX_IDENTITY_LANGUAGE "LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED")
    set(SFX_IDENTITY_BLOCK 080404b0)
    set(SFX_IDENTITY_TRANSLATION "0x0804, 1200")
  else()
    set(SFX_IDENTITY_LANGUAGE "LANG_ENGLISH, SUBLANG_ENGLISH_US")
    set(SFX_IDENTITY_BLOCK 040904b0)
    set(SFX_IDENTITY_TRANSLATION "0x0409, 1200")
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-identity)
  set(SFX_IDENTITY_MANIFEST ${dir}/${output}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/res/Identity.manifest.in ${SFX_IDENTITY_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/res/Identity.rc.in ${dir}/identity.utf8.rc @ONLY)
  add_custom_command(OUTPUT ${dir}/identity.rc
    COMMAND iconv -f UTF-8 -t GBK ${dir}/identity.utf8.rc -o ${dir}/identity.rc
    DEPENDS ${dir}/identity.utf8.rc
    VERBATIM)
  target_sources(${target} PRIVATE ${dir}/identity.rc)
  set_source_files_properties(${dir}/identity.rc PROPERTIES
    COMPILE_OPTIONS --codepage=936 OBJECT_DEPENDS ${SFX_IDENTITY_MANIFEST})

  get_target_property(windowed ${target} WIN32_EXECUTABLE)
  if(windowed)
    set(entry SfxGuiEntry)
  else()
    set(entry SfxConsoleEntry)
  endif()
  target_link_libraries(${target} PRIVATE framework_dll_search)
  target_link_options(${target} PRIVATE -Wl,--tsaware -Wl,--entry=${SFX_SYMBOL_PREFIX}${entry}
                      -Wl,--undefined=${SFX_SYMBOL_PREFIX}${entry})
endfunction()
