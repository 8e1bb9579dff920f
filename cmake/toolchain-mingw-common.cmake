# What both Windows toolchains share (toolchain-i686-mingw.cmake, the
# product, and toolchain-x86_64-mingw.cmake): mingw-w64 with the posix
# thread model for VORLANT_MINGW_PROCESSOR, set before this is included.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VORLANT_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${VORLANT_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLANT_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${VORLANT_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORLANT_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Floating point in SSE2 registers on both: the x87 unit's excess precision
# would make the 32-bit results differ from the native build's. With SSE
# enabled, the 32-bit compiler realigns the stack in functions that need
# it, so callbacks entered from Windows with a 4-byte aligned stack stay
# safe. (SSE2 is the x86-64 baseline; said anyway so both compile the same
# floating-point code.)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Static runtime: the programs need no mingw DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
