# The 64-bit Windows flavour of the same sources (mingw-w64, posix thread
# model), for build hosts that cannot run 32-bit programs and as a check of
# everything that differs between 32 and 64 bits (pointer-sized window data,
# message parameters, structure sizes). The product stays the 32-bit build
# (toolchain-i686-mingw.cmake); this one runs under 64-bit Wine.
set(VORLANT_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
