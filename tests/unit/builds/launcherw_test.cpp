/* launcherw.exe: where a message goes when there is no standard error. */
#include "tests/unit/fixture.h"

namespace {

const char not_found[] = "Exec Failed: No such file or directory";
const char path_too_long[] = "Path too long for launcher, maximum size supported is 8192 bytes";
const char last_traced[] = "trace: candidate C:\\bin\\tool.cmd: No such file or directory (Windows error 3)\n";
const char no_memory_for_arguments[] = "runtime error R6008\r\n- not enough space for arguments";

enum {
    NO_STANDARD_ERROR,
    STANDARD_ERROR_ON_FILE,
    STANDARD_ERROR_REFUSES,
    NO_USER32,
    NAME_BEYOND_CODE_PAGE,
    ON_64_BIT_WINDOWS,
    ELEVATION_REQUIRED,
    MINIMIZED_CALLER,
    TRACED,
    TRACE_REFUSED
};

/* Through the ANSI calls the title would turn these into look-alikes. */
const char16_t name_beyond_code_page[] = u"C:\\app\\bin\\launcherw-\u03a9\u65e5\u672c.exe";
const char title_beyond_code_page[] = "launcherw-\u03a9\u65e5\u672c.exe";

struct box_case {
    const char *name;
    const char *command;     /* after "launcherw C:\work " */
    std::string path;
    int failing_allocation;  /* 0: none */
    int setting;
    const char *box;         /* the text shown; empty: no box at all */
    UINT exit_code;
};

const box_case box_cases[] = {
    {"command not found", "tool", "C:\\bin", 0, NO_STANDARD_ERROR, not_found, 0xFFFFFFFFu},
    {"bare message", "tool", std::string(8192, 'p'), 0, NO_STANDARD_ERROR, path_too_long,
     0xFFFFFFFFu},
    /* The handle group, the command line, the environment block, then the
       argument vector. */
    {"run-time error", "tool", "C:\\bin", 4, NO_STANDARD_ERROR, no_memory_for_arguments, 255},
    {"command started", "app", "C:\\bin", 0, NO_STANDARD_ERROR, "", 0},
    {"command started minimized", "app", "C:\\bin", 0, MINIMIZED_CALLER, "", 0},
    /* Where a standard error exists the message goes there as launcher.exe
       writes it; without USER32 the failure keeps its exit code. */
    {"standard error on a file", "tool", "C:\\bin", 0, STANDARD_ERROR_ON_FILE, "", 0xFFFFFFFFu},
    {"no USER32", "tool", "C:\\bin", 0, NO_USER32, "", 0xFFFFFFFFu},
    /* A standard error that refuses the message (read-only, closed) is as
       good as none: the box shows it, with the reason being reported rather
       than the failed write's. */
    {"standard error refuses", "tool", "C:\\bin", 0, STANDARD_ERROR_REFUSES, not_found,
     0xFFFFFFFFu},
    {"standard error refuses a bare message", "tool", std::string(8192, 'p'), 0,
     STANDARD_ERROR_REFUSES, path_too_long, 0xFFFFFFFFu},
    {"title beyond the code page", "tool", "C:\\bin", 0, NAME_BEYOND_CODE_PAGE, not_found,
     0xFFFFFFFFu},
    /* The search saw the native System32; the box's library is loaded in
       the process's own view again. */
    {"on 64-bit Windows", "tool", "C:\\bin", 0, ON_64_BIT_WINDOWS, not_found, 0xFFFFFFFFu},
    {"elevation required", "app", "C:\\bin", 0, ELEVATION_REQUIRED, "Exec Failed: Invalid argument",
     0xFFFFFFFFu},
    /* The trace goes to the debugger, never into the box. */
    {"traced", "tool", "C:\\bin", 0, TRACED, not_found, 0xFFFFFFFFu},
    /* A trace line refused is no lost message: the failure written after it
       goes to standard error alone. */
    {"a trace line refused", "tool", "C:\\bin", 0, TRACE_REFUSED, "", 0xFFFFFFFFu},
};

class launcherw_test : public launcher_test {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::add_directory("C:\\work");
        sim::add_file("C:\\work\\app.exe");
        sim::world().module_path = "C:\\app\\bin\\launcherw.exe";
    }
};

/* Started from a shortcut, the launcher has no standard error: a failure
   shows its message in a box titled with the program's name, with the exit
   code the console build has.  USER32 is loaded for nothing else. */
TEST_F(launcherw_test, a_message_goes_to_standard_error_or_else_to_a_box)
{
    for (const box_case &c : box_cases) {
        SetUp();
        HANDLE file = nullptr;
        if (c.setting == STANDARD_ERROR_ON_FILE || c.setting == STANDARD_ERROR_REFUSES ||
            c.setting == TRACE_REFUSED)
            file = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_DISK);
        else
            sim::world().std_handles.erase(STD_ERROR_HANDLE);
        if (c.setting == STANDARD_ERROR_REFUSES || c.setting == TRACE_REFUSED)
            sim::fail_write(1, ERROR_ACCESS_DENIED);
        if (c.setting == NAME_BEYOND_CODE_PAGE)
            sim::world().module_path = name_beyond_code_page;
        if (c.setting == NO_USER32)
            sim::fail_call("LoadLibraryA", 1, 0, ERROR_FILE_NOT_FOUND);
        sim::world().wow64 = c.setting == ON_64_BIT_WINDOWS;
        if (c.setting == ELEVATION_REQUIRED)
            sim::world().start_errors[sim::key_of("C:\\work\\app.exe")] = ERROR_ELEVATION_REQUIRED;
        sim::world().startup_flags = c.setting == MINIMIZED_CALLER ? STARTF_USESHOWWINDOW : 0;
        sim::world().show_window = SW_SHOWMINNOACTIVE;
        sim::set_variable("LAUNCHER_TRACE", std::string(c.setting >= TRACED ? "1" : "0"));
        sim::world().command_line = std::string("launcherw C:\\work ") + c.command;
        sim::set_variable("PATH", c.path);
        if (c.failing_allocation)
            sim::fail_allocation(c.failing_allocation);
        sim::exit_signal end = run_whole_program();
        EXPECT_EQ(end.code, c.exit_code) << c.name;
        std::vector<sim::call> lines = sim::calls_named("OutputDebugStringA");
        EXPECT_EQ(lines.empty() ? "" : lines.back().text, c.setting == TRACED ? last_traced : "") << c.name;
        if (c.setting == STANDARD_ERROR_ON_FILE) {
            EXPECT_EQ(sim::output_of(file), std::string(not_found) + "\r\n") << c.name;
        }
        if (!*c.box) {
            EXPECT_TRUE(sim::world().boxes.empty()) << c.name;
            for (const sim::process_start &start : sim::world().starts)
                EXPECT_EQ(start.show_window,
                          c.setting == MINIMIZED_CALLER ? SW_SHOWMINNOACTIVE : 0)
                    << c.name;
            if (c.setting != NO_USER32) {
                EXPECT_TRUE(sim::calls_named("LoadLibraryA").empty()) << c.name;
            }
            continue;
        }
        ASSERT_EQ(sim::world().boxes.size(), 1u) << c.name;
        EXPECT_EQ(sim::calls_named("LoadLibraryA")[0].args[0], 0u) << c.name << ": redirection off";
        EXPECT_EQ(sim::world().boxes[0].text, c.box) << c.name;
        EXPECT_EQ(sim::world().boxes[0].title,
                  c.setting == NAME_BEYOND_CODE_PAGE ? title_beyond_code_page : "launcherw.exe")
            << c.name;
        EXPECT_EQ(sim::world().boxes[0].flags, (UINT)(MB_OK | MB_ICONERROR | MB_SETFOREGROUND))
            << c.name;
        /* The box is the last thing before the exit. */
        std::vector<std::string> names = sim::call_names();
        ASSERT_GE(names.size(), 2u) << c.name;
        EXPECT_EQ(names[names.size() - 2], "MessageBoxW") << c.name;
    }
}

} // namespace
