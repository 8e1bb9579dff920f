# vorlant_man_page(PROGRAM-TARGET [MAKE-MAN-PAGE-OPTIONS...]): the program's
# manual page, made from its own --help text when the program is built
# (tools/make-man-page.py), compressed as Debian wants it (gzip -9n, no
# name or time stamp inside), in the target PROGRAM-TARGET-man, installed
# to man1.
set(VORLANT_RELEASE ${PROJECT_VERSION})

function(vorlant_man_page program)
  if(NOT Python3_FOUND)
    return()
  endif()
  include(GNUInstallDirs)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make-man-page.py
            $<TARGET_FILE:${program}> ${page} --version ${VORLANT_RELEASE} ${ARGN}
    COMMAND gzip -9nkf ${page}
    DEPENDS ${program} ${CMAKE_SOURCE_DIR}/tools/make-man-page.py
    COMMENT "Manual page of ${program}" VERBATIM)
  add_custom_target(${program}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
