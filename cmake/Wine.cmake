# Cross build only: runs the Windows test programs under Wine.
# The emulator wrapper is generated into the build folder with the prefix's
# absolute path in it; CMAKE_CROSSCOMPILING_EMULATOR must be set before the
# first executable is declared, since each target copies it when created.
find_program(VORLANT_WINE wine)
find_program(VORLANT_WINESERVER wineserver)
if(NOT VORLANT_WINE OR NOT VORLANT_WINESERVER)
  message(WARNING "wine/wineserver not found: the Windows tests cannot run (scripts/setup.sh installs them)")
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
