/* Shared set-up of the unit tests: a fresh simulated platform and launcher
   state for every test, and the ways to run pieces of the launcher. */
#ifndef TESTS_UNIT_FIXTURE_H
#define TESTS_UNIT_FIXTURE_H

#include "platform/sim/sim.h"
#include "tests/support/launcher_state.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

/* Texts each in an allocation of its exact size, and the vector of them
   that a null ends: a short std::string keeps its text inside the object,
   where a read past its end goes unseen. */
struct exact_texts {
    std::vector<std::unique_ptr<char[]>> owned;
    std::vector<char *> vector;
};
exact_texts make_exact_texts(const std::vector<std::string> &texts);

/* The launcher's main routine with the given arguments after the program
   name; the process exit of a successful start comes back as a signal. */
struct launcher_outcome {
    bool exited;     /* ended inside the routine (a successful start) */
    int status;      /* the routine's result when it returned */
    UINT exit_code;  /* the exit code when it ended */
};
launcher_outcome run_main_routine(const std::vector<std::string> &arguments);

/* A program's header: "MZ", the PE header at 0x40, and 92 bytes into it
   the subsystem. */
std::string subsystem_header(char subsystem);

std::vector<std::string> written_chunks();
std::vector<std::string> probed_paths();
/* The lines of a trace as standard error shows them. */
std::string traced(const std::vector<std::string> &lines);

/* A table's row as a test case of its own, named after the row: each
   character but a letter or a digit becomes "_", so a failure names its row
   in ctest's list too. */
std::string name_of_case(const std::string &row_name);
template <typename row_type>
std::string name_each_row(const testing::TestParamInfo<row_type> &info)
{
    return name_of_case(info.param.name);
}

/* Every test ends with each handle its run opened closed, but for those
   handed on (sim::handle_faults); a test that loops over rows calls SetUp
   for each, which checks the row before. */
class launcher_test : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HANDLE standard_error = nullptr;
    int runs = 0;
};

#endif
