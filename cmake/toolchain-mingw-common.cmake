# Cross-build for Windows with Debian's MinGW-w64 g++, for the target the
# including toolchain file names in `triple` and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${triple}-gcc)
# The -win32 variant needs no winpthread DLL for the test helpers.
find_program(mingw_cxx NAMES ${triple}-g++-win32 ${triple}-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${mingw_cxx})
set(CMAKE_RC_COMPILER ${triple}-windres)
# Archives of objects optimised at link time need GCC's plugin to index them.
set(CMAKE_AR ${triple}-gcc-ar)
set(CMAKE_RANLIB ${triple}-gcc-ranlib)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The shipped exes: freestanding, entered at run_program, KERNEL32 their only import.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
