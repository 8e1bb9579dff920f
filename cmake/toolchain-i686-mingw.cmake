# The product build: 32-bit Windows with mingw-w64 (posix thread model),
# run here under Wine. The emulator wrapper that runs the tests is generated
# into the build folder by cmake/Wine.cmake.
set(VORLANT_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
