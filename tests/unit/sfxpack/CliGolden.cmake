# The sfxpack executable itself, as a user runs it (under Wine for the
# Windows build): exit codes, output to a full disk, and a folder whose name and files are Chinese,
# packed to the same bytes as the checked-in installer on both hosts. The
# names travel as command-line arguments, so the Windows build's wide
# arguments are exercised too.
#
# cmake -DEXE=... [-DEMULATOR=...] -DDATA=tests/data/sfxpack -DWORK=scratch
#       [-DWRITE_GOLDEN=1] -P CliGolden.cmake
foreach(var EXE DATA WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run expected)
  execute_process(COMMAND ${EMULATOR} ${EXE} ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL expected)
    message(FATAL_ERROR "sfxpack ${ARGN}: exit ${rc}, expected ${expected}\n${out}\n${err}")
  endif()
  set(last_out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
set(src "${WORK}/安装 源")
file(WRITE "${src}/readme.txt" "read me\r\n")
file(WRITE "${src}/通讯/设置.ini" "[server]\r\nhost=example\r\nport=443\r\n")
file(WRITE "${src}/bin/誠/錦.txt" "brocade brocade brocade brocade\r\n")
file(WRITE "${src}/数据/空.dat" "")
set(out "${WORK}/输出 setup.exe")

run(2)
run(0 build --help)
if(NOT last_out MATCHES "SYNOPSIS")
  message(FATAL_ERROR "build --help shows no manual page:\n${last_out}")
endif()
run(2 build --stub "${DATA}/stub.exe" --from "${src}")
run(0 build --stub "${DATA}/stub.exe" --from "${src}" -o "${out}" -j 2 --quiet)

if(WRITE_GOLDEN)
  file(COPY_FILE "${out}" "${DATA}/cli_folder.exe")
endif()
file(SHA256 "${out}" built)
file(SHA256 "${DATA}/cli_folder.exe" expected)
if(NOT built STREQUAL expected)
  message(FATAL_ERROR "${out} differs from ${DATA}/cli_folder.exe")
endif()

run(0 list "${out}" --json)
if(NOT last_out MATCHES "\"name\": \"通讯\\\\\\\\设置.ini.zup\"")
  message(FATAL_ERROR "list --json lacks the Chinese name:\n${last_out}")
endif()
run(0 diff "${out}" "${DATA}/cli_folder.exe")
run(1 diff "${out}" "${DATA}/gbk_folder.exe")

# Output that cannot be written fails the command that writes it, with one
# line naming standard output: a cut listing or man page is no success.
function(run_to_full_disk)
  execute_process(COMMAND ${EMULATOR} ${EXE} ${ARGN} OUTPUT_FILE /dev/full RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc STREQUAL "1" OR NOT err MATCHES "sfxpack: standard output: cannot write")
    message(FATAL_ERROR "sfxpack ${ARGN} >/dev/full: exit ${rc}, expected 1 and a line naming standard output\n${err}")
  endif()
endfunction()
run_to_full_disk(--manpage)
run_to_full_disk(list "${out}" --json)
run_to_full_disk(verify "${out}")
run_to_full_disk(diff "${out}" "${DATA}/cli_folder.exe")
run_to_full_disk(build --stub "${DATA}/stub.exe" --from "${src}" -o "${WORK}/again.exe" --quiet)
run_to_full_disk(extract "${out}" "${WORK}/dest")
file(REMOVE_RECURSE "${WORK}")
