/*
 * launcher-wait.exe after a successful start: it waits for the command,
 * ends with its exit code, lets Ctrl+C and Ctrl+Break reach it, and takes
 * the command and its children down when it is itself ended.  Everything
 * else a started command receives is the hand-over suites' business, which
 * run against this build too.
 */
#include "e2e_support.h"

namespace {

class waiting : public e2e_test {
protected:
    /* "launcher ..\work tool" for a probe that starts, with extra variables. */
    launch make_launch(const std::vector<std::string> &variables)
    {
        copy_probe(join_unix(tree.work, "tool.exe"));
        launch how;
        how.command_line = "launcher ..\\work tool";
        how.environment = make_environment(tree, "C:\\windows");
        how.environment.insert(how.environment.end(), variables.begin(), variables.end());
        return how;
    }
    /* A file no one ever creates: the probe holds until it is ended. */
    std::string never() const
    {
        return "PROBE_HOLD=" + to_wine_path(join_unix(tree.root, "never"));
    }
};

/* A Unix shell would see only the low byte; the runner sees all 32 bits. */
TEST_F(waiting, ends_with_every_bit_of_the_commands_exit_code)
{
    for (uint32_t code : {0u, 1u, 255u, 256u, 0xC0000005u, 4294967295u}) {
        launch how = make_launch({"PROBE_EXIT=" + std::to_string(code)});
        launch_result result = run_launcher(tree, how);
        ASSERT_TRUE(result.ran) << result.failure;
        EXPECT_EQ(result.exit_code, code);
        EXPECT_EQ(show_bytes(result.error_output), "");
    }
}

/* Standard input, output and error are the command's own: every byte goes
   through, and all of it is there when the launcher has ended. */
TEST_F(waiting, passes_standard_streams_byte_for_byte)
{
    const char lines[] = "line one\r\nline two\n\x00\x1a\xff tail";
    std::string input(lines, sizeof lines - 1);
    input.append(input);
    for (int i = 0; i < 300; i++)
        input += (char)(i * 7);
    launch how = make_launch({"PROBE_ECHO=1"});
    how.stdin_data = input;
    how.stdout_kind = "pipe";
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(show_bytes(result.standard_output), show_bytes(input));
    EXPECT_EQ(show_bytes(result.error_output), show_bytes("err:" + input));
}

/* Ended from outside once the command runs, the launcher takes the command
   and the command's own child with it. */
TEST_F(waiting, ended_takes_command_and_its_children_along)
{
    copy_probe(join_unix(tree.app, "grandchild.exe"));
    launch how = make_launch({never(), "PROBE_CHILD=" +
                                           to_wine_path(join_unix(tree.app, "grandchild.exe"))});
    how.terminate_when = tree.probe_out;
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    ASSERT_EQ(result.pid_gone.size(), 2u) << "the probe did not report itself and its child";
    for (const auto &process : result.pid_gone) {
        EXPECT_NE(process.first, 0u) << "the probe could not start its child";
        EXPECT_TRUE(process.second) << "process " << process.first << " outlived the launcher";
    }
}

/* Ended the moment its command exists, before it could have done anything
   about it, the launcher still takes the command along: the command is
   born inside the job.  A command left suspended outside it would never
   run and never end.  Where Wine differs from Windows: Wine 8's server at
   times crashes when a job ends a process it is still creating, which
   takes every process of the prefix along and leaves no report; such a
   run is not counted (the case has a prefix of its own for it). */
TEST_F(waiting, ended_while_starting_leaves_no_command_behind)
{
    launch how = make_launch({never()});
    how.terminate_on_child = true;
    int reported = 0;
    for (int run = 0; run < 40 && reported < 20; run++) {
        launch_result result = run_launcher(tree, how);
        if (result.wine_lost)
            continue;
        ASSERT_TRUE(result.ran) << result.failure;
        ASSERT_EQ(result.pid_gone.size(), 1u);
        EXPECT_TRUE(result.pid_gone.begin()->second) << "run " << run << " left the command";
        reported++;
    }
    EXPECT_EQ(reported, 20) << "Wine's server crashed in too many runs";
}

/* Ctrl+C reaches the command, which ends with 40 by its own handler; the
   launcher stays to pass that on.  A launcher that ignored Ctrl+C outright
   would pass the ignoring on, and the command would hold.  Wine cannot
   send Ctrl+Break (GenerateConsoleCtrlEvent refuses it for every process
   group), so the launcher's handling of it is covered at unit level. */
TEST_F(waiting, ctrl_c_reaches_the_command_not_the_launcher)
{
    launch how = make_launch({never(), "PROBE_INTERRUPT=1"});
    how.interrupt_when = tree.probe_out;
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 40u);
}

} // namespace
