# Cross build only: runs the Windows test programs under Wine.
# The emulator wrapper is generated into the build folder with the prefix's
# absolute path in it; CMAKE_CROSSCOMPILING_EMULATOR must be set before the
# first executable is declared, since each target copies it when created.
#
# Each flavour has its own loader and prefix kind: the 32-bit build runs
# under the 32-bit loader in a win32 prefix, the 64-bit build under the
# 64-bit loader in a win64 prefix. The loader is called directly: Debian's
# `wine` wrapper picks the 32-bit loader whenever it is installed, which a
# host without 32-bit execution cannot start.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VORLANT_WINEARCH win64)
  find_program(VORLANT_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(VORLANT_WINE wine64)
else()
  set(VORLANT_WINEARCH win32)
  find_program(VORLANT_WINE wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(VORLANT_WINE wine)
endif()
find_program(VORLANT_WINESERVER wineserver)
if(NOT VORLANT_WINE OR NOT VORLANT_WINESERVER)
  message(WARNING "the Wine loader or wineserver was not found: the Windows tests cannot run (scripts/setup.sh installs them)")
  set(VORLANT_WINE wine)
endif()

set(VORLANT_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VORLANT_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${VORLANT_WINE_RUN}
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORLANT_WINE_RUN})

# The Linux tools (the controller simulator) cannot be built here; end-to-end
# tests under Wine use the ones of a native build of the same tree.
set(VORLANT_NATIVE_TOOLS_DIR "" CACHE PATH
  "tools/ folder of a native build of this tree (for end-to-end tests under Wine)")
if(VORLANT_NATIVE_TOOLS_DIR)
  get_filename_component(VORLANT_NATIVE_TOOLS_DIR_ABS ${VORLANT_NATIVE_TOOLS_DIR} ABSOLUTE
    BASE_DIR ${CMAKE_BINARY_DIR})
  set(VORLANT_NATIVE_SIM ${VORLANT_NATIVE_TOOLS_DIR_ABS}/simulator/vorlant-sim)
else()
  set(VORLANT_NATIVE_SIM "")
endif()
