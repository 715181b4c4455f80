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

add_executable(launcher ${launcher_sources} ${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp)
target_include_directories(launcher PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(launcher PRIVATE ${freestanding_options})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(no_self_calls -fno-builtin -fno-tree-loop-distribute-patterns)
else()
    set(no_self_calls -fno-builtin)
endif()
set_source_files_properties(${PROJECT_SOURCE_DIR}/runtime/compiler_support.cpp
                            PROPERTIES COMPILE_OPTIONS "${no_self_calls}")
target_link_options(launcher PRIVATE
    -nostdlib -nostartfiles -s
    -Wl,--entry,_run_program
    -Wl,--subsystem,console
    -Wl,--gc-sections
    -Wl,--no-insert-timestamp)
target_link_libraries(launcher PRIVATE kernel32)

# The package: launcher.exe and the README, nothing of the tests.
install(TARGETS launcher RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME launcher)
set(CPACK_PACKAGE_FILE_NAME launcher-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
