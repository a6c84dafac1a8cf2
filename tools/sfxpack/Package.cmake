# sfxpack as Debian ships a program: the executable stripped as Debian
# strips, the man page and the changelog gzipped without a time stamp, and
# a copyright file. Included by CMakeLists.txt for the Linux build.

# The date the man page and the changelog carry, a function of the commit
# so that a rebuild gives the same bytes: SOURCE_DATE_EPOCH when set; else
# the committer date of the last commit (a shallow clone has it too); else,
# in a tree without its git history, the time CMakeLists.txt was last
# changed, which `git archive` and tar keep.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(sfx_epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(sfx_epoch_from "SOURCE_DATE_EPOCH")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    # Only this project's own history, not that of a repository around it.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --path-format=absolute --git-path logs/HEAD
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE sfx_git ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" sfx_git "${sfx_git};")
    list(GET sfx_git 0 sfx_git_top)
    file(REAL_PATH "${PROJECT_SOURCE_DIR}" sfx_source)
    if(sfx_git_top AND EXISTS "${sfx_git_top}")
      file(REAL_PATH "${sfx_git_top}" sfx_git_top)
    endif()
    if(sfx_git_top STREQUAL sfx_source)
      execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE sfx_epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
      set(sfx_epoch_from "the last commit")
      # A new commit dates the next build anew.
      list(GET sfx_git 1 sfx_git_log)
      if(EXISTS "${sfx_git_log}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${sfx_git_log}")
      endif()
    endif()
  endif()
  if(NOT sfx_epoch MATCHES "^[0-9]+$")
    file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt sfx_epoch "%s" UTC)
    set(sfx_epoch_from "no git history: the time CMakeLists.txt was last changed")
  endif()
endif()
if(NOT sfx_epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${sfx_epoch}', not a number of seconds")
endif()
set(sfx_saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${sfx_epoch})
string(TIMESTAMP sfx_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP sfx_day "%Y-%m-%d" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${sfx_saved_epoch}")
if(sfx_saved_epoch STREQUAL "")
  unset(ENV{SOURCE_DATE_EPOCH})
endif()
message(STATUS "sfxpack man page and changelog dated ${sfx_day}, from ${sfx_epoch_from}")

# The man page comes whole or the build fails: sfxpack exits 1 when its
# output cannot be written, and the page is renamed into place only then.
find_program(SFX_GZIP gzip REQUIRED)
set(sfx_man ${CMAKE_CURRENT_BINARY_DIR}/sfxpack.1)
set(sfx_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
configure_file(changelog.in ${sfx_changelog} @ONLY)
add_custom_command(OUTPUT ${sfx_man} ${sfx_man}.gz
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${sfx_epoch} $<TARGET_FILE:sfxpack> --manpage > ${sfx_man}.tmp
  COMMAND ${CMAKE_COMMAND} -E rename ${sfx_man}.tmp ${sfx_man}
  COMMAND ${SFX_GZIP} -9 -n -c ${sfx_man} > ${sfx_man}.gz
  DEPENDS sfxpack
  COMMENT "Writing the sfxpack man page")
add_custom_command(OUTPUT ${sfx_changelog}.gz
  COMMAND ${SFX_GZIP} -9 -n -c ${sfx_changelog} > ${sfx_changelog}.gz
  DEPENDS ${sfx_changelog})
add_custom_target(sfxpack_manpage ALL DEPENDS ${sfx_man} ${sfx_man}.gz ${sfx_changelog}.gz)

install(TARGETS sfxpack RUNTIME DESTINATION bin)
# A stripped install (the package) also drops the compiler's notes, as
# Debian's own packages do.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/$<TARGET_FILE_NAME:sfxpack>\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
install(FILES ${sfx_man}.gz DESTINATION share/man/man1)
install(FILES copyright ${sfx_changelog}.gz DESTINATION share/doc/sfxpack)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sfxpack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvex release team <release@orvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "packs, lists, verifies and extracts Orvex installers")
set(CPACK_PACKAGE_DESCRIPTION
"sfxpack is the release team's tool for the installer of the Orvex messaging
client, a self-extracting 32-bit Windows executable. It packs a folder
behind the installer executable, and lists, compares, verifies and unpacks
such installers on Linux, with the installer's own reader and codec.

The same folder gives the same installer byte for byte, whatever the number
of threads, on Linux and on Windows.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
