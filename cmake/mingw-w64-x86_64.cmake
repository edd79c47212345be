# Cross-compiling for 64-bit Windows with Debian's mingw-w64, posix thread variant (the
# C++ threads and timed mutexes come from winpthreads, linked in statically below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANTEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A Windows user has no mingw runtime: every binary carries its own C++ runtime and
# thread library, so the plug-in and the tools depend on system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release binaries without their symbol tables (a third of the DLL).
set(CMAKE_MODULE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Tests run under wine (ctest prefixes each test program with it).
find_program(VANTEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VANTEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTEL_WINE})
endif()

# The engine's AVX2 compile keeps 32-byte vectors on the stack, but the Windows x64
# convention aligns the stack to 16 bytes only and GCC for mingw does not realign it, so an
# aligned vector move there could fault. The assembler writes every aligned vector move as
# its unaligned form instead (the same speed on aligned data on every AVX2 CPU).
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
