# What the Windows architectures do differently, in one place: the logic
# and every other option are the same for all of them.  Read by
# cmake/win32.cmake (and bench/windows).  The architecture is the
# compiler's: 32-bit pointers mean x86, the only 32-bit target, so a
# native MSYS2 build without a toolchain file is placed right too.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(LAUNCHER_ARCHITECTURE x86)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|ARM64|arm64)$")
    set(LAUNCHER_ARCHITECTURE arm64)
else()
    set(LAUNCHER_ARCHITECTURE x64)
endif()

# Files added to every exe for its architecture, none by default.
set(LAUNCHER_ARCH_SOURCES "")
# Compile options of the architecture (and compiler), none by default.
set(LAUNCHER_ARCH_OPTIONS "")

if(LAUNCHER_ARCHITECTURE STREQUAL "x86")
    # C names carry a leading underscore on x86 alone; the entry is named
    # as the linker sees it.
    set(LAUNCHER_SYMBOL_PREFIX _)
    # WoW64 redirects System32 for a 32-bit process on 64-bit Windows, and
    # a fault handler is a frame on the stack.
    set(LAUNCHER_ARCH_SOURCES ${PROJECT_SOURCE_DIR}/arch/native_view_wow64.cpp
                              ${PROJECT_SOURCE_DIR}/arch/fault_frame.cpp)
    # The stack is kept to the 4-byte alignment 32-bit Windows promises:
    # the launcher has no data that asks for more.  GCC pushes the
    # arguments of a call instead of storing them into a reserved area,
    # which it may only do without stack probes; no frame needs one, since
    # every frame stays below a page (-Wframe-larger-than in win32.cmake).
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        set(LAUNCHER_ARCH_OPTIONS -mpreferred-stack-boundary=2 -mno-stack-arg-probe
                                  -mno-accumulate-outgoing-args)
    else()
        set(LAUNCHER_ARCH_OPTIONS -mstack-alignment=4)
    endif()
else()
    # x64 and ARM64: undecorated names, a 16-byte aligned stack and call
    # arguments in registers and a fixed area by their ABIs, no WoW64, and
    # fault handlers found through unwind tables, so a vectored one.
    set(LAUNCHER_SYMBOL_PREFIX "")
    set(LAUNCHER_ARCH_SOURCES ${PROJECT_SOURCE_DIR}/arch/native_view_none.cpp
                              ${PROJECT_SOURCE_DIR}/arch/fault_vectored.cpp)
endif()
