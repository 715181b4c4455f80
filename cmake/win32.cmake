# launcher.exe: freestanding, entered at run_program, KERNEL32 its only import.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")

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
target_compile_options(launcher_logic PUBLIC ${freestanding_options})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(no_self_calls -fno-builtin -fno-tree-loop-distribute-patterns)
else()
    set(no_self_calls -fno-builtin)
endif()
set_source_files_properties(${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp
                            PROPERTIES COMPILE_OPTIONS "${no_self_calls}")

# name of the exe, its file of builds/, its subsystem
set(launcher_builds
    "launcher|launcher|console"
    "launcherw|launcherw|windows"
    "launcher-wait|launcher_wait|console")
set(launcher_targets)
foreach(entry IN LISTS launcher_builds)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 build_file)
    list(GET fields 2 subsystem)
    add_executable(${name} ${PROJECT_SOURCE_DIR}/builds/${build_file}.cpp)
    target_link_libraries(${name} PRIVATE launcher_logic kernel32)
    target_link_options(${name} PRIVATE
        -nostdlib -nostartfiles -s
        -Wl,--entry,_run_program
        -Wl,--subsystem,${subsystem}
        -Wl,--gc-sections
        -Wl,--no-insert-timestamp)
    list(APPEND launcher_targets ${name})
endforeach()

# The package: launcher.exe and the README, nothing of the tests.
install(TARGETS ${launcher_targets} RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME launcher)
set(CPACK_PACKAGE_FILE_NAME launcher-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
