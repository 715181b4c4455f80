# Cross-build for 32-bit Windows with clang and lld, on the MinGW-w64
# headers, import libraries and GCC runtime of Debian's g++-mingw-w64-i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(dlltool_machine i386)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-clang-common.cmake)
