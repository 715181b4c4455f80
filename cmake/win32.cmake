# The shipped exes: freestanding, entered at run_program, KERNEL32 their only import.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
# Each exe carries a version resource, compiled by the toolchain's windres.
enable_language(RC)
# The entry's decoration, the stack options and the files of each architecture.
include(${CMAKE_CURRENT_LIST_DIR}/architecture.cmake)

# The exes' KERNEL32 import library.  Where the toolchain file names a list
# of the functions the code uses (the clang builds: Debian brings no import
# library for ARM64, and lld keeps an unused jump stub per function of the
# toolchain's own), it is made from that list here; otherwise the
# toolchain's is linked by name.
set(exe_kernel32 kernel32)
set(exe_kernel32_options "")
if(LAUNCHER_KERNEL32_DEF)
    set(kernel32_import ${CMAKE_CURRENT_BINARY_DIR}/libkernel32.a)
    add_custom_command(OUTPUT ${kernel32_import}
                       COMMAND ${LAUNCHER_DLLTOOL} -d ${LAUNCHER_KERNEL32_DEF}
                               -l ${kernel32_import}
                       DEPENDS ${LAUNCHER_KERNEL32_DEF}
                       VERBATIM)
    add_custom_target(kernel32_import DEPENDS ${kernel32_import})
    add_library(launcher_kernel32 INTERFACE)
    target_link_libraries(launcher_kernel32 INTERFACE ${kernel32_import})
    add_dependencies(launcher_kernel32 kernel32_import)
    set(exe_kernel32 launcher_kernel32)
    # The list names the functions as KERNEL32 exports them; on x86 the code
    # asks for the stdcall names (ExitProcess@4), which lld resolves to them.
    if(LAUNCHER_ARCHITECTURE STREQUAL "x86")
        set(exe_kernel32_options -Wl,--enable-stdcall-fixup)
    endif()
endif()

# Built for size, within the limits tests/shipped/check_exes.py holds for
# each kind of exe and architecture.  No frame pointer; the stack as
# architecture.cmake says.
set(freestanding_options
    -Oz -fomit-frame-pointer ${LAUNCHER_ARCH_OPTIONS}
    -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -fno-threadsafe-statics -fno-stack-protector
    -ffunction-sections
    -Wall -Wextra -Werror
    # Frames stay below a page: larger ones would need stack probes from a
    # support library the launcher does not link.
    -Wframe-larger-than=3072)
# g++ aligns every array or record of 32 bytes or more to 32 bytes, for
# speed; the texts and tables then sit between runs of zeros.  The
# alignment their types ask for is all the code relies on, and the
# constants of each exe take 64 to 124 bytes less.
# Three transformations that g++'s -Oz makes grow this code instead: each
# turned off, no exe of either architecture grows, and the code of each
# exe shrinks by (x86 / x64): hoisting an expression computed on several
# paths into their common start, 24 to 32 / 16 bytes; preparing a frame
# only on the paths that need one, which copies the ends of functions,
# 8 to 12 / 0 to 16; turning branches into branch-free sequences such as
# conditional moves, 0 to 76 / 0 to 16.
# Keeping once-called functions apart (-fno-inline-functions-called-once)
# grows the whole build: the five exes sum 72,704 bytes on x86 and 81,408
# on x64 with it, 72,192 and 79,872 without.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND freestanding_options -malign-data=abi
         -fno-code-hoisting -fno-shrink-wrap -fno-if-conversion)
endif()

# The logic is compiled once; each build links it with its own files of
# builds/ and its own subsystem.  It is an archive, so that an exe takes in
# only the files its builds call into: with GNU ld an import once named by
# any file linked stays in the exe's import table, even where whole-program
# optimisation drops every call to it.
add_library(launcher_logic STATIC ${launcher_sources})
target_include_directories(launcher_logic PUBLIC ${PROJECT_SOURCE_DIR})
# The compiler's own memcpy and memset: every exe links them, since calls
# to them appear only as the code is generated.
add_library(launcher_support OBJECT ${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp)
target_compile_options(launcher_support PRIVATE
                       "$<$<COMPILE_LANGUAGE:CXX>:${freestanding_options}>")
# C++ only: the options reach every exe that links the logic, and windres,
# which compiles the exe's version resource, knows none of them.
target_compile_options(launcher_logic PUBLIC "$<$<COMPILE_LANGUAGE:CXX>:${freestanding_options}>")
# Each exe is optimised whole at link time: the paths no caller of a build
# takes (an environment of the caller's own for the start, the other source
# of requests) go, and every exe stays within its limit.  The compiler's own
# memcpy and memset stay outside it: calls to them appear only as the code
# is generated.  Off only for scripts/size_report's own build, whose link
# map then names each function, as GNU ld's map of a whole-program build
# cannot.
option(LAUNCHER_LTO "Optimise each exe whole at link time (every shipped build)" ON)
if(LAUNCHER_LTO)
    target_compile_options(launcher_logic PUBLIC "$<$<COMPILE_LANGUAGE:CXX>:-flto>")
    # The frame limit holds after the whole-program inlining too.
    target_link_options(launcher_logic PUBLIC -flto -Oz -Wframe-larger-than=3072 -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(no_self_calls -fno-builtin -fno-tree-loop-distribute-patterns -fno-lto)
else()
    set(no_self_calls -fno-builtin -fno-lto)
endif()
set_source_files_properties(${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp
                            PROPERTIES COMPILE_OPTIONS "${no_self_calls}")

# Every build keeps its linker's own layout: the code alone in .text, the
# constants in a read-only .rdata (lld puts the import tables there too, GNU
# ld in a .idata of their own).  The file pads each section to 512 bytes, so
# the first constant costs a section; merged into .text, every constant
# would be executable as well, one more place for a hijacked jump to land.
# tests/shipped checks that no build merges them.
# name of the exe, its two files of builds/ (where the start is described,
# how it ends), its subsystem, its description, whether it embeds the manifest
set(launcher_builds
    "launcher|from_command_line launcher|console|Launcher|"
    "launcherw|from_command_line launcherw|windows|Launcher without a console window|"
    "launcher-wait|from_command_line launcher_wait|console|Launcher that waits for its command|"
    "shim|from_shim_file shim|console|Named launcher that waits for its command|embedded"
    "shimw|from_shim_file launcherw|windows|Named launcher without a console window|embedded")
set(launcher_targets)
foreach(entry IN LISTS launcher_builds)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 build_files)
    list(GET fields 2 subsystem)
    list(GET fields 3 description)
    list(GET fields 4 manifest)
    set(exe_name ${name})
    set(exe_description ${description})
    # The named launchers embed their manifest: a copy renamed to any name
    # ("update.exe", "setup.exe") must never ask for elevation, and the
    # caller's arguments and the file's paths pass in UTF-8.  The other
    # builds leave the choice to a manifest placed beside them.  It is kept
    # on one line, without comments: every byte counts.
    if(manifest)
        set(exe_manifest "1 24 \"${PROJECT_SOURCE_DIR}/builds/shim.manifest\"")
    else()
        set(exe_manifest "")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/builds/version.rc.in ${name}.rc @ONLY)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}.rc PROPERTIES
                                OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/builds/shim.manifest)
    string(REPLACE " " ";" build_files "${build_files}")
    list(TRANSFORM build_files PREPEND ${PROJECT_SOURCE_DIR}/builds/)
    list(TRANSFORM build_files APPEND .cpp)
    add_executable(${name} ${build_files} ${LAUNCHER_ARCH_SOURCES}
                   ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
    target_link_libraries(${name} PRIVATE launcher_support launcher_logic ${exe_kernel32})
    target_link_options(${name} PRIVATE
        -nostdlib -nostartfiles -s ${exe_kernel32_options}
        -Wl,--entry,${LAUNCHER_SYMBOL_PREFIX}run_program
        -Wl,--subsystem,${subsystem}
        -Wl,--gc-sections
        -Wl,--no-insert-timestamp
        # Where every byte went, for scripts/size_report: a size measured
        # rather than guessed.  GNU ld and lld both take this spelling.
        -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    set_property(TARGET ${name} APPEND PROPERTY ADDITIONAL_CLEAN_FILES
                 ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    list(APPEND launcher_targets ${name})
    if(NOT manifest)
        list(APPEND launcher_targets_without_manifest ${name})
    endif()
endforeach()

# The package: the exes and the documents, nothing of the tests, one zip per
# architecture, named after it (launcher-VERSION-x86.zip, -x64, -arm64): a
# user takes the one that matches Windows, and each holds the same layout.
# The release packs the g++ builds of x86 and x64 and the clang build of
# ARM64 (scripts/test).  The UTF-8
# manifest goes in a folder of its own under the name of each exe that does
# not embed it: it takes effect only when a user copies it beside the exe,
# and never by default.
install(TARGETS ${launcher_targets} RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/SECURITY.md
              ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs
        FILES_MATCHING PATTERN "*.md")
foreach(name IN LISTS launcher_targets_without_manifest)
    install(FILES ${PROJECT_SOURCE_DIR}/builds/utf-8.manifest
            DESTINATION optional/utf-8
            RENAME ${name}${CMAKE_EXECUTABLE_SUFFIX}.manifest)
endforeach()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME launcher)
set(CPACK_PACKAGE_FILE_NAME launcher-${PROJECT_VERSION}-${LAUNCHER_ARCHITECTURE})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
