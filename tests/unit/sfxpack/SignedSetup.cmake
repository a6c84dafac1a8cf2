# A setup signed with a throwaway certificate, as the release team signs it,
# read by the sfxpack executable (under Wine for the Windows build): list,
# verify, extract and diff see the archive in front of the signature and
# change no byte, so the signature still verifies afterwards. A signed stub
# is refused.
#
# cmake -DEXE=... [-DEMULATOR=...] [-DSTUB=...] [-DRENDO=...] -DWORK=... -P SignedSetup.cmake
# Without STUB a PE image of headers only stands in for the installer.
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/SfxScript.cmake)
sfx_require(EXE WORK)
find_program(OPENSSL openssl REQUIRED)
find_program(OSSLSIGNCODE osslsigncode REQUIRED)

function(run expected)
  execute_process(COMMAND ${EMULATOR} ${EXE} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL expected)
    message(FATAL_ERROR "sfxpack ${ARGN}: exit ${rc}, expected ${expected}\n${out}\n${err}")
  endif()
  set(last_out "${out}${err}" PARENT_SCOPE)
endfunction()
function(expect text)
  string(FIND "${last_out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${text}\" in:\n${last_out}")
  endif()
endfunction()

foreach(given STUB RENDO)
  if(${given} AND NOT EXISTS "${${given}}")
    message(FATAL_ERROR "${${given}} is missing (the 32-bit executables come from the win32 preset: make win32)")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
if(NOT STUB)
  # MZ, the PE header at 0x80, i386 without sections, PE32 with 0x200 bytes
  # of headers and 16 data directories; zeros up to 1024 bytes.
  set(hex "4d5a")
  string(REPEAT "00" 58 gap)
  string(APPEND hex "${gap}80000000")
  string(REPEAT "00" 64 gap)
  string(APPEND hex "${gap}504500004c010000000000000000000000000000e0000201")
  string(APPEND hex "0b01")
  string(REPEAT "00" 58 gap)
  string(APPEND hex "${gap}00020000")
  string(REPEAT "00" 28 gap)
  string(APPEND hex "${gap}10000000")
  string(LENGTH "${hex}" n)
  math(EXPR pad "1024 - ${n} / 2")
  string(REPEAT "00" ${pad} gap)
  string(APPEND hex "${gap}")
  string(REGEX REPLACE "(..)" "\\\\x\\1" escaped "${hex}")
  execute_process(COMMAND printf "${escaped}" OUTPUT_FILE "${WORK}/stub.exe" RESULT_VARIABLE rc)
  set(STUB "${WORK}/stub.exe")
endif()

set(src "${WORK}/payload")
file(WRITE "${src}/readme.txt" "signed\r\n")
file(WRITE "${src}/通讯/设置.ini" "[server]\r\nport=443\r\n")
if(RENDO)
  file(COPY_FILE "${RENDO}" "${src}/Rendo.exe")
endif()

# The certificate lives for this run only.
sfx_check_run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvex test signing"
     -keyout "${WORK}/key.pem" -out "${WORK}/cert.pem")
run(0 build --stub "${STUB}" --from "${src}" -o "${WORK}/unsigned.exe" --quiet)
sfx_check_run(${OSSLSIGNCODE} sign -certs "${WORK}/cert.pem" -key "${WORK}/key.pem" -n "Orvex"
     -in "${WORK}/unsigned.exe" -out "${WORK}/signed.exe")
set(setup "${WORK}/signed.exe")
file(SHA256 "${setup}" before)

# The real stub carries the digests in its image, which the signature covers.
if(STUB STREQUAL "${WORK}/stub.exe")
  set(digests "no digests")
else()
  set(digests "digests of the 3 entries and of the directory match")
  run(0 list "${setup}")
  expect("digests: SHA-256 of each entry and of the directory")
  # The unsigned setup carries its own CheckSum (signing writes a new one).
  # osslsigncode leaves an odd last byte out of its sum, which imagehlp's
  # MapFileAndCheckSum counts (Wine's gives the setup's own value, and the
  # unit tests check that form), so it is asked only about a setup of even
  # length.
  file(SIZE "${WORK}/unsigned.exe" unsigned_size)
  math(EXPR odd "${unsigned_size} % 2")
  execute_process(COMMAND ${OSSLSIGNCODE} verify -in "${WORK}/unsigned.exe" OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT "${out}${err}" MATCHES "PE checksum *: [0-9A-F]+" OR (odd EQUAL 0 AND "${out}${err}" MATCHES "invalid PE checksum"))
    message(FATAL_ERROR "the unsigned setup's CheckSum is not its own:\n${out}${err}")
  endif()
endif()
run(0 list "${setup}")
expect("signed, certificate table ")
run(0 list "${setup}" --json)
expect("\"signed\": true")
run(0 verify "${setup}" --against "${src}")
expect("and match")
expect("${digests}")
expect("signed, certificate table ")
run(0 extract "${setup}" "${WORK}/dest")
foreach(name readme.txt 通讯/设置.ini)
  file(SHA256 "${src}/${name}" a)
  file(SHA256 "${WORK}/dest/${name}" b)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${name} differs after unpacking the signed setup")
  endif()
endforeach()
# The signature changes the header's checksum and security entry only.
run(1 diff "${WORK}/unsigned.exe" "${setup}")
expect("0 added, 0 removed, 0 changed")
run(0 diff "${setup}" "${setup}")

file(SHA256 "${setup}" after)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "reading the signed setup changed it")
endif()
sfx_check_run(${OSSLSIGNCODE} verify -CAfile "${WORK}/cert.pem" -in "${setup}")

# Appending behind a signature would break it.
sfx_check_run(${OSSLSIGNCODE} sign -certs "${WORK}/cert.pem" -key "${WORK}/key.pem" -in "${STUB}" -out "${WORK}/signed-stub.exe")
run(1 build --stub "${WORK}/signed-stub.exe" --from "${src}" -o "${WORK}/refused.exe")
expect("the stub is signed; build with the unsigned stub and sign the finished setup")
if(EXISTS "${WORK}/refused.exe")
  message(FATAL_ERROR "a build from a signed stub left an output")
endif()
message(STATUS "signed setup read whole; the signature still verifies")
