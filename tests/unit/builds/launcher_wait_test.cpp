/* launcher-wait.exe: what follows a successful start. */
#include "tests/unit/fixture.h"

#include <cstring>

namespace {

using strings = std::vector<std::string>;

class launcher_wait_test : public launcher_test {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::add_directory("C:\\work");
        /* A GUI command from a console of the launcher's own, which this
           build keeps, and a minimized caller. */
        sim::add_file_bytes("C:\\work\\app.exe", subsystem_header(IMAGE_SUBSYSTEM_WINDOWS_GUI));
        sim::world().console_processes = 1;
        sim::world().startup_flags = STARTF_USESHOWWINDOW;
        sim::world().show_window = SW_SHOWMINNOACTIVE;
        sim::world().command_line = std::string("launcher-wait C:\\work app -v");
    }

    /* The calls that deal with the started process, in order; the file
       closed before them is the command's own, whose header was read. */
    strings waiting_calls()
    {
        static const strings names = {
            "CreateProcessA", "CreateJobObjectA", "SetInformationJobObject",
            "AssignProcessToJobObject", "SetConsoleCtrlHandler", "CloseHandle",
            "WaitForSingleObject", "GetExitCodeProcess", "ExitProcess", "FreeConsole"};
        strings found;
        for (const std::string &name : sim::call_names())
            if (std::find(names.begin(), names.end(), name) != names.end() &&
                !(found.empty() && name == "CloseHandle"))
                found.push_back(name);
        return found;
    }
};

/* Every bit of the command's exit code reaches the caller. */
TEST_F(launcher_wait_test, ends_with_the_commands_exit_code)
{
    for (DWORD code : {0u, 1u, 255u, 256u, 0xC0000005u, 0xFFFFFFFFu}) {
        SetUp();
        sim::world().child_exit_code = code;
        sim::world().show_window = SW_SHOWMAXIMIZED;
        sim::exit_signal end = run_whole_program();
        EXPECT_EQ(end.code, code);
        EXPECT_FALSE(end.terminated);
        EXPECT_EQ(sim::world().starts[0].show_window, SW_SHOWMAXIMIZED);
    }
    /* A wait or a code that cannot be had is a failure, never a code. */
    const std::pair<const char *, uint64_t> unknown[] = {{"WaitForSingleObject", WAIT_FAILED},
                                                          {"GetExitCodeProcess", 0}};
    for (const auto &[call, result] : unknown) {
        SetUp();
        sim::world().child_exit_code = 7;
        sim::fail_call(call, 1, result, ERROR_ACCESS_DENIED);
        EXPECT_EQ(run_whole_program().code, 0xFFFFFFFFu) << call;
    }
}

/* The launcher joins a job that kills everything in it with the launcher
   before it creates the command, so the command is born inside it and is
   never, not for a moment, outside it while the launcher can be ended; only
   the process handle is kept while waiting, and the kill is lifted once the
   command has ended by itself. */
TEST_F(launcher_wait_test, the_command_is_born_inside_the_job)
{
    run_whole_program();
    ASSERT_EQ(sim::world().starts.size(), 1u);
    EXPECT_EQ(sim::world().starts[0].creation_flags, 0u);
    EXPECT_EQ(sim::world().starts[0].command_line, "app -v");
    EXPECT_EQ(sim::world().starts[0].startup_flags, (DWORD)STARTF_USESHOWWINDOW);
    EXPECT_EQ(sim::world().starts[0].show_window, SW_SHOWMINNOACTIVE);
    EXPECT_EQ(waiting_calls(),
              (strings{"CreateJobObjectA", "SetInformationJobObject", "AssignProcessToJobObject",
                       "SetConsoleCtrlHandler", "CreateProcessA", "CloseHandle",
                       "WaitForSingleObject", "GetExitCodeProcess", "SetInformationJobObject",
                       "ExitProcess"}));
    std::vector<sim::call> limits = sim::calls_named("SetInformationJobObject");
    ASSERT_EQ(limits.size(), 2u);
    EXPECT_EQ(limits[0].args[2],
              (uint64_t)(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK));
    EXPECT_EQ(limits[1].args[2], (uint64_t)JOB_OBJECT_LIMIT_BREAKAWAY_OK);
    /* Nothing but the flags: every other field of the record is zero. */
    for (const sim::call &call : limits) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION expected;
        std::memset(&expected, 0, sizeof expected);
        expected.BasicLimitInformation.LimitFlags = (DWORD)call.args[2];
        EXPECT_EQ(call.text, std::string((const char *)&expected, sizeof expected));
    }
    /* The launcher itself joins; the command follows it in. */
    EXPECT_EQ(sim::calls_named("AssignProcessToJobObject")[0].args[1],
              (uint64_t)(uintptr_t)GetCurrentProcess());
    /* The thread handle is the one closed; the process handle is waited on. */
    EXPECT_NE(sim::calls_named("CloseHandle").back().args[0],
              sim::calls_named("WaitForSingleObject")[0].args[0]);
    EXPECT_EQ(sim::calls_named("WaitForSingleObject")[0].args[1], (uint64_t)INFINITE);
}

struct job_failure_case {
    const char *name;
    const char *call;  /* the one that fails */
    bool job_closed;   /* a job that was made but cannot serve is closed */
};

/* Without a job (an outer one forbids it, say) the command still runs and
   is waited for. */
TEST_F(launcher_wait_test, a_job_that_cannot_be_had_does_not_stop_the_start)
{
    const job_failure_case cases[] = {
        {"no job", "CreateJobObjectA", false},
        {"no limits", "SetInformationJobObject", true},
        {"not assigned", "AssignProcessToJobObject", true},
    };
    for (const job_failure_case &c : cases) {
        SetUp();
        sim::world().child_exit_code = 7;
        sim::fail_call(c.call, 1, 0, ERROR_ACCESS_DENIED);
        EXPECT_EQ(run_whole_program().code, 7u) << c.name;
        EXPECT_EQ(sim::world().starts.size(), 1u) << c.name;
        strings calls = waiting_calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "CloseHandle"), c.job_closed ? 2 : 1)
            << c.name;
        /* no job, no kill to lift */
        EXPECT_EQ(sim::calls_named("SetInformationJobObject").size(), c.job_closed ? 1u : 0u)
            << c.name;
    }
}

/* Everything up to a failed start is launcher.exe's: no job, no handler. */
TEST_F(launcher_wait_test, a_failed_start_is_the_console_launchers)
{
    sim::world().command_line = std::string("launcher-wait C:\\work nothing");
    EXPECT_EQ(run_whole_program().code, 0xFFFFFFFFu);
    EXPECT_EQ(sim::output_of(standard_error), "Exec Failed: No such file or directory\r\n");
    EXPECT_TRUE(waiting_calls() == strings{"ExitProcess"});
}

/* Ctrl+C and Ctrl+Break go to the command through the console; the launcher
   stays to pass its exit code on.  A closing console ends the launcher as
   usual, and the job then ends the command. */
TEST_F(launcher_wait_test, the_handler_ignores_interrupts_but_not_the_end)
{
    run_whole_program();
    PHANDLER_ROUTINE handler = sim::world().ctrl_handler;
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(sim::calls_named("SetConsoleCtrlHandler")[0].args,
              (std::vector<uint64_t>{1, TRUE}));
    EXPECT_TRUE(handler(CTRL_C_EVENT));
    EXPECT_TRUE(handler(CTRL_BREAK_EVENT));
    EXPECT_FALSE(handler(CTRL_CLOSE_EVENT));
    EXPECT_FALSE(handler(5)); /* logoff */
    EXPECT_FALSE(handler(6)); /* shutdown */
}

} // namespace
