# The Windows package: `cmake --install build/win32 --prefix DIR --strip`
# puts the program, the command-line tool and the first-use text into DIR;
# `ninja -C build/win32 package` makes build/win32/vorlant-2.4-win32.zip
# (build/win64: vorlant-2.4-win64.zip)
# with the same, stripped. Both programs are linked statically: nothing is
# needed beside them but the system's own DLLs.
if(NOT WIN32)
  return()
endif()

install(TARGETS vorlant vorlantctl RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/docs/first-use.txt DESTINATION . RENAME FIRST-USE.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vorlant)
set(CPACK_PACKAGE_VERSION 2.4)
# One ZIP per flavour: the 32-bit one is the product, the 64-bit one has
# the same contents.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_PACKAGE_FILE_NAME vorlant-2.4-win64)
else()
  set(CPACK_PACKAGE_FILE_NAME vorlant-2.4-win32)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
