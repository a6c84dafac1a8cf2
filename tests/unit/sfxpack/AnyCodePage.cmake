# The Windows build of sfxpack on an English Windows (ANSI code page 1252,
# SFX_WINE_LANG=en_US.UTF-8): folders whose names hold Hangul beside
# Chinese, which no ANSI code page holds whole, are read, written and
# printed by their own names.
#
# cmake -DEXE=... -DEMULATOR=... -DSTUB=... -DWORK=... -P AnyCodePage.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/SfxScript.cmake)
sfx_require(EXE EMULATOR STUB WORK)

function(run)
  execute_process(COMMAND ${EMULATOR} ${EXE} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "sfxpack ${ARGN}: exit ${rc}\n${out}\n${err}")
  endif()
  set(last_out "${out}${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
set(src "${WORK}/소스 源")
file(WRITE "${src}/readme.txt" "read me\r\n")
file(WRITE "${src}/深圳/通讯.ini" "[server]\r\nport=443\r\n")
set(setup "${WORK}/설치 安装/setup.exe")
file(MAKE_DIRECTORY "${WORK}/설치 安装")

run(build --stub "${STUB}" --from "${src}" -o "${setup}" --quiet)
run(list "${setup}")
string(FIND "${last_out}" "深圳\\通讯.ini" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the listing does not name 深圳\\通讯.ini in UTF-8:\n${last_out}")
endif()
run(verify "${setup}" --against "${src}")
run(extract "${setup}" "${WORK}/대상 目标")
foreach(name readme.txt 深圳/通讯.ini)
  file(SHA256 "${src}/${name}" a)
  file(SHA256 "${WORK}/대상 目标/${name}" b)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${name} differs after extracting into a folder with Hangul")
  endif()
endforeach()
message(STATUS "built, listed, verified and extracted under folder names with Hangul on code page 1252")
