# Cross-build for x64 Windows with clang and lld, on the MinGW-w64 headers,
# import libraries and GCC runtime of Debian's g++-mingw-w64-x86-64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(dlltool_machine i386:x86-64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-clang-common.cmake)
