# Runs one fuzz target for ctest: first every committed reproducer once, then
# the fuzzer for a bounded time over a fresh copy of the seed corpus, so the
# source tree never gathers generated inputs.  Crash inputs land in
# ${work}/artifacts.
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/corpus ${work}/artifacts)
file(COPY ${seeds}/ DESTINATION ${work}/corpus)

file(GLOB known_inputs ${reproducers}/*)
if(known_inputs)
    execute_process(COMMAND ${target} -artifact_prefix=${work}/artifacts/ ${known_inputs}
                    RESULT_VARIABLE replayed)
    if(NOT replayed EQUAL 0)
        message(FATAL_ERROR "a committed reproducer still fails (${replayed}): "
                            "the input on the last 'Running:' line above")
    endif()
endif()

separate_arguments(options)
execute_process(COMMAND ${target} -max_total_time=${seconds} -print_final_stats=1
                        -artifact_prefix=${work}/artifacts/ ${options} ${work}/corpus
                RESULT_VARIABLE fuzzed)
if(NOT fuzzed EQUAL 0)
    message(FATAL_ERROR "fuzzing found a failing input (${fuzzed}); see ${work}/artifacts")
endif()
