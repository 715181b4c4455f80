# The shipped exes: freestanding, entered at run_program, KERNEL32 their only import.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
# Each exe carries a version resource, compiled by the toolchain's windres.
enable_language(RC)

set(freestanding_options
    -Os -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -fno-threadsafe-statics -fno-stack-protector
    -ffunction-sections
    -Wall -Wextra -Werror
    # Frames stay below a page: larger ones would need stack probes from a
    # support library the launcher does not link.
    -Wframe-larger-than=3072)

# The logic is compiled once; each build links it with its own file of
# builds/ and its own subsystem.
add_library(launcher_logic OBJECT ${launcher_sources} ${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp)
target_include_directories(launcher_logic PUBLIC ${PROJECT_SOURCE_DIR})
# C++ only: the options reach every exe that links the logic, and windres,
# which compiles the exe's version resource, knows none of them.
target_compile_options(launcher_logic PUBLIC "$<$<COMPILE_LANGUAGE:CXX>:${freestanding_options}>")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(no_self_calls -fno-builtin -fno-tree-loop-distribute-patterns)
else()
    set(no_self_calls -fno-builtin)
endif()
set_source_files_properties(${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp
                            PROPERTIES COMPILE_OPTIONS "${no_self_calls}")

# name of the exe, its file of builds/, its subsystem, its description
set(launcher_builds
    "launcher|launcher|console|Launcher"
    "launcherw|launcherw|windows|Launcher without a console window"
    "launcher-wait|launcher_wait|console|Launcher that waits for its command")
set(launcher_targets)
foreach(entry IN LISTS launcher_builds)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 build_file)
    list(GET fields 2 subsystem)
    list(GET fields 3 description)
    set(exe_name ${name})
    set(exe_description ${description})
    configure_file(${PROJECT_SOURCE_DIR}/builds/version.rc.in ${name}.rc @ONLY)
    add_executable(${name} ${PROJECT_SOURCE_DIR}/builds/${build_file}.cpp
                   ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
    target_link_libraries(${name} PRIVATE launcher_logic kernel32)
    target_link_options(${name} PRIVATE
        -nostdlib -nostartfiles -s
        -Wl,--entry,_run_program
        -Wl,--subsystem,${subsystem}
        -Wl,--gc-sections
        -Wl,--no-insert-timestamp)
    list(APPEND launcher_targets ${name})
endforeach()

# The package: the exes and the documents, nothing of the tests.  The UTF-8
# manifest goes in a folder of its own under each exe's name: it takes effect
# only when a user copies it beside the exe, and never by default.
install(TARGETS ${launcher_targets} RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION .)
foreach(name IN LISTS launcher_targets)
    install(FILES ${PROJECT_SOURCE_DIR}/builds/utf-8.manifest
            DESTINATION optional/utf-8
            RENAME ${name}${CMAKE_EXECUTABLE_SUFFIX}.manifest)
endforeach()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME launcher)
set(CPACK_PACKAGE_FILE_NAME launcher-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
