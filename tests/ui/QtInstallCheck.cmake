# Installs the build BUILD into a fresh PREFIX and checks what the Linux
# program needs there: the program, a valid desktop entry (checked with
# desktop-file-validate where it is installed) and the icon in the hicolor
# theme.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result})")
endif()
foreach(f bin/vorlant-qt share/applications/vorlant-qt.desktop
          share/icons/hicolor/16x16/apps/vorlant-qt.png share/icons/hicolor/32x32/apps/vorlant-qt.png)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/icons/hicolor/32x32/apps/vorlant-qt.png head LIMIT 8 HEX)
if(NOT head STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "the 32x32 icon is no PNG")
endif()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/vorlant-qt.desktop
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
  endif()
else()
  message(STATUS "desktop-file-validate not installed; the entry was not validated")
endif()
