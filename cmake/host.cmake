# Host builds: the launcher's sources against the simulated KERNEL32.
option(LAUNCHER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
option(LAUNCHER_FUZZ "Build the libFuzzer targets (clang)" OFF)
option(LAUNCHER_BENCH "Build the host microbenchmarks" OFF)

add_compile_options(-Wall -Wextra -Werror -g)
# A variable read before it is written gets a pattern a test notices,
# rather than whatever the stack held; the sanitizers do not see such a
# read (a header that comes back short, a field of a record left out).
# The benchmarks time the code as it ships, without it.
if(NOT LAUNCHER_BENCH)
    add_compile_options(-ftrivial-auto-var-init=pattern)
endif()
if(LAUNCHER_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
if(LAUNCHER_FUZZ)
    # Coverage for libFuzzer and the sanitizers in every object, the
    # launcher's included; the targets add the fuzzer's main themselves.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB sim_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/sim/*.cpp)
add_library(sim_kernel32 STATIC ${sim_sources})
target_include_directories(sim_kernel32 PUBLIC ${PROJECT_SOURCE_DIR})

# The logic once, then one library per build with that build's own file,
# the 32-bit x86 view of the file system, which the tests pin, and no fault
# handler of the launcher's own:
# launcher_core is launcher.exe's, which the unit tests, the fuzz targets and
# the benchmarks run; the others serve the tests of what their builds change.
# Each comes with the reset of the launcher's process state that the tests
# share (launcher_test_support for launcher.exe).
add_library(launcher_logic OBJECT ${launcher_sources})
target_include_directories(launcher_logic PUBLIC ${PROJECT_SOURCE_DIR})
foreach(build IN ITEMS launcher launcherw launcher_wait)
    if(build STREQUAL "launcher")
        set(suffix "")
    else()
        set(suffix _${build})
    endif()
    add_library(launcher_core${suffix} STATIC $<TARGET_OBJECTS:launcher_logic>
                ${PROJECT_SOURCE_DIR}/arch/native_view_wow64.cpp
                ${PROJECT_SOURCE_DIR}/arch/fault_unguarded.cpp
                ${PROJECT_SOURCE_DIR}/builds/from_command_line.cpp
                ${PROJECT_SOURCE_DIR}/builds/${build}.cpp)
    target_include_directories(launcher_core${suffix} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(launcher_core${suffix} PUBLIC sim_kernel32)
    add_library(launcher_test_support${suffix} STATIC
                ${PROJECT_SOURCE_DIR}/tests/support/launcher_state.cpp)
    target_link_libraries(launcher_test_support${suffix} PUBLIC launcher_core${suffix})
endforeach()

# The named launchers' logic, for their whole starts in the unit tests:
# shim.exe's file source with its own ending, shimw.exe's with
# launcherw.exe's.
set(shim_ending shim)
set(shimw_ending launcherw)
foreach(build IN ITEMS shim shimw)
    add_library(launcher_core_${build} STATIC $<TARGET_OBJECTS:launcher_logic>
                ${PROJECT_SOURCE_DIR}/arch/native_view_wow64.cpp
                ${PROJECT_SOURCE_DIR}/arch/fault_unguarded.cpp
                ${PROJECT_SOURCE_DIR}/builds/from_shim_file.cpp
                ${PROJECT_SOURCE_DIR}/builds/${${build}_ending}.cpp)
    target_include_directories(launcher_core_${build} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(launcher_core_${build} PUBLIC sim_kernel32)
    add_library(launcher_test_support_${build} STATIC
                ${PROJECT_SOURCE_DIR}/tests/support/launcher_state.cpp)
    target_link_libraries(launcher_test_support_${build} PUBLIC launcher_core_${build})
endforeach()
