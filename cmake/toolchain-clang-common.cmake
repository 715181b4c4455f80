# Cross-build for Windows with clang and lld, on the MinGW-w64 headers,
# import libraries and GCC runtime of Debian's g++-mingw-w64 for the target
# the including toolchain file names in `triple` and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_SYSROOT /usr/${triple})
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Debian names the GCC directories "12-win32" and "12-posix", which clang
# does not recognise as versions, so it finds neither libstdc++'s headers nor
# its libraries by itself.  The -win32 thread model, as with the g++
# toolchain, needs no winpthread DLL.
file(GLOB gcc_directories LIST_DIRECTORIES true /usr/lib/gcc/${triple}/*-win32)
if(NOT gcc_directories)
    message(FATAL_ERROR "no /usr/lib/gcc/${triple}/*-win32: install the g++-mingw-w64 for it")
endif()
list(SORT gcc_directories COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_directories 0 gcc_directory)
set(libstdcxx ${gcc_directory}/include/c++)
string(JOIN " " CMAKE_CXX_FLAGS_INIT
       -isystem ${libstdcxx} -isystem ${libstdcxx}/${triple} -isystem ${libstdcxx}/backward)

# lld for every link, of programs and DLLs alike.  GCC's crtbegin.o and crtend.o (found first through -B)
# register the DWARF unwind tables that C++ exceptions on i686 need; the
# sysroot's own pair does not, and a thrown exception would end the program.
# (x64 unwinds through tables of its own; the same pair does no harm there.)
# Test programs take libgcc and libstdc++ statically, as they do with the g++
# toolchain, so they run without GCC's DLLs: clang++ would otherwise link
# libgcc_s, the import library of libgcc's DLL.  The launcher links with
# -nostdlib and C programs have no libstdc++, so the driver would call these
# options unused on their links.
string(JOIN " " link_flags
       -fuse-ld=lld -B${gcc_directory} -L${gcc_directory} -static-libgcc -static-libstdc++
       -Wno-unused-command-line-argument)
set(CMAKE_EXE_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${link_flags})

# The exes' KERNEL32 import library, made by cmake/win32.cmake from the
# functions the code uses, listed beside this file, as for ARM64: the
# toolchain's own would leave a jump stub per function in each exe (see
# kernel32.def).  The test programs link the toolchain's.
find_program(llvm_dlltool NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
set(LAUNCHER_DLLTOOL ${llvm_dlltool} -m ${dlltool_machine})
set(LAUNCHER_KERNEL32_DEF ${CMAKE_CURRENT_LIST_DIR}/kernel32.def)

# launcher.exe: freestanding, entered at run_program, KERNEL32 its only import.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
