# Cross-build for ARM64 Windows with Debian's clang and lld.  Debian's
# MinGW-w64 packages bring headers for every architecture but import
# libraries and a C runtime for i686 and x86_64 only: the five exes, which
# need neither a C runtime nor any library but KERNEL32, are built here
# (LAUNCHER_TEST_PROGRAMS off in the preset), the test programs are not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(triple aarch64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
# The MinGW-w64 headers (mingw-w64-common) as the whole sysroot: clang then
# looks in its include/ and never in the host's /usr/include.
set(CMAKE_SYSROOT /usr/share/mingw-w64)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Without a C runtime no test program links: the compiler checks compile only.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)

# No binutils for ARM64: LLVM's windres, with clang as its preprocessor.
find_program(CMAKE_RC_COMPILER NAMES llvm-windres-14 llvm-windres REQUIRED)
set(CMAKE_RC_FLAGS_INIT "--target=${triple} -I${CMAKE_SYSROOT}/include")

# KERNEL32's import library, made by cmake/win32.cmake from the functions
# the code uses, listed beside this file.  A call to a function missing
# from the list fails the link with its name.
find_program(llvm_dlltool NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
set(LAUNCHER_DLLTOOL ${llvm_dlltool} -m arm64)
set(LAUNCHER_KERNEL32_DEF ${CMAKE_CURRENT_LIST_DIR}/kernel32.def)

# The five exes: freestanding, entered at run_program, KERNEL32 their only import.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
