# Host builds: the launcher's sources against the simulated KERNEL32.
option(LAUNCHER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
option(LAUNCHER_FUZZ "Build the libFuzzer targets (clang)" OFF)
option(LAUNCHER_BENCH "Build the host microbenchmarks" OFF)

add_compile_options(-Wall -Wextra -Werror -g)
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

add_library(launcher_core STATIC ${launcher_sources})
target_include_directories(launcher_core PUBLIC ${PROJECT_SOURCE_DIR})

file(GLOB sim_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/sim/*.cpp)
add_library(sim_kernel32 STATIC ${sim_sources})
target_include_directories(sim_kernel32 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(launcher_core PUBLIC sim_kernel32)

# The reset of the launcher's process state, shared by the unit tests, the
# fuzz targets and the benchmarks.
add_library(launcher_test_support STATIC ${PROJECT_SOURCE_DIR}/tests/support/launcher_state.cpp)
target_link_libraries(launcher_test_support PUBLIC launcher_core sim_kernel32)
