/*
 * The windowless builds and the named launchers started as from a
 * shortcut: a failure shows its message in a box, the exit code stays
 * launcher.exe's, and a successful start shows nothing.  Wine draws the box
 * on the suite's virtual X display (Xvfb, set up with its own prefix by the
 * e2e.wine_start fixture); the runner reads the box's text, and the test
 * dismisses it as a user would, with Return through xdotool.  Where nobody
 * watches (a window station of the runner's that is not visible, a start
 * without console or handles) nothing may wait and no window may show: the
 * message goes to the debugger output and the event log, which Wine prints
 * on its standard error.  Wine ignores shim.exe's 24H2 console policy and
 * lacks AllocConsoleWithOptions: DETACHED_PROCESS stands in for a start
 * from Explorer there, and the unit tests cover the function.
 */
#include "e2e_support.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace {

/* Generous: under load Wine may take many seconds for a window. */
const std::chrono::seconds box_limit(60);

/* Waits for a file to hold something; its text, or empty after the limit. */
std::string wait_for_text(const std::string &path, std::chrono::seconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        std::ifstream file(path);
        std::string text;
        if (std::getline(file, text) && !text.empty())
            return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
}

struct box_case {
    const char *name;
    const char *command;  /* after "launcherw ..\\work " */
    uint32_t exit_code;
    const char *box;      /* empty: no window may appear */
    const char *stderr_kind = "none";
    const char *program = "";  /* UTF-8; empty: the build's own name */
    const char *shim = nullptr;  /* a named launcher's file: the program is
                                    then the named build under that name */
    const char *named = "shimw.exe"; /* that build; "shim.exe+gui": a copy of
                                        shim.exe set to the GUI subsystem */
    const char *logged = "";  /* the message the debugger output and the
                                 event log get; empty: neither gets one */
    bool hidden = false;      /* on a window station nobody sees */
    uint32_t flags = 0;       /* creation flags */
    bool no_handles = false;  /* no standard handle at all */
};

const char not_found[] = "Exec Failed: No such file or directory";
const char named_not_found[] =
    "Exec Failed: No such file or directory\npath = nothing.exe in {bin}\\MyApp.shim (Windows error 2)";
enum : uint32_t { DETACHED_PROCESS_FLAG = 0x8, CREATE_NO_WINDOW_FLAG = 0x08000000 };

const box_case box_cases[] = {
    {"missing_command_shows_its_message", "tool", EXIT_FAILED, not_found},
    {"started_command_shows_nothing", "probe", 0, ""},
    /* A standard error that refuses the message is as good as none. */
    {"refused_message_shows_in_a_box", "tool", EXIT_FAILED, not_found, "readonly"},
    /* The title is the true file name, no look-alike of it. */
    {"title_is_the_true_file_name", "tool", EXIT_FAILED, not_found, "none",
     "launcherw-\u03a9\u65e5\u672c.exe"},
    {"named_launcher_shows_where_it_looked", "", EXIT_FAILED, named_not_found, "none", "MyApp.exe",
     "path = nothing.exe"},
    /* Where nobody could dismiss a box, none waits. */
    {"hidden_station_logs_instead_of_waiting", "tool", EXIT_FAILED, "", "none", "", nullptr,
     "shimw.exe", not_found, true},
    {"named_launcher_on_a_hidden_station_logs", "", EXIT_FAILED, "", "none", "MyApp.exe",
     "path = nothing.exe", "shimw.exe", named_not_found, true},
    {"gui_copy_on_a_hidden_station_logs", "", EXIT_FAILED, "", "none", "MyApp.exe",
     "path = nothing.exe", "shim.exe+gui", named_not_found, true},
    /* A copy set to GUI shows its failure as shimw.exe does, and starts and
       waits as shim.exe does. */
    {"gui_copy_shows_its_message", "", EXIT_FAILED, named_not_found, "none", "MyApp.exe",
     "path = nothing.exe", "shim.exe+gui"},
    {"gui_copy_passes_a_console_commands_exit_code_on", "", 7, "", "none", "MyApp.exe",
     "path = ..\\work\\probe.exe", "shim.exe+gui"},
    {"gui_copy_passes_a_gui_commands_exit_code_on", "", 7, "", "none", "MyApp.exe",
     "path = ..\\work\\gui.exe", "shim.exe+gui"},
    /* shim.exe never shows a box: without a console or handles it logs. */
    {"detached_shim_logs_its_message", "", EXIT_FAILED, "", "none", "MyApp.exe",
     "path = nothing.exe", "shim.exe", named_not_found, false, DETACHED_PROCESS_FLAG, true},
    {"detached_shim_passes_a_console_commands_exit_code_on", "", 7, "", "none", "MyApp.exe",
     "path = ..\\work\\probe.exe", "shim.exe", "", false, DETACHED_PROCESS_FLAG, true},
    /* With a console, hidden or not, a message without a standard error is
       lost, as for any console program. */
    {"shim_with_a_hidden_console_logs_nothing", "", EXIT_FAILED, "", "none", "MyApp.exe",
     "path = nothing.exe", "shim.exe", "", false, CREATE_NO_WINDOW_FLAG, true},
};

void PrintTo(const box_case &c, std::ostream *out)
{
    *out << c.name;
}

class message_box : public e2e_test, public ::testing::WithParamInterface<box_case> {
protected:
    void SetUp() override
    {
        e2e_test::SetUp();
        if (HasFatalFailure())
            return;
        std::string number = wait_for_text(E2E_DISPLAY_FILE, std::chrono::seconds(0));
        ASSERT_FALSE(number.empty()) << "no virtual display in " << E2E_DISPLAY_FILE
                                     << ": the e2e.wine_start fixture sets one up";
        display = ":" + number;
    }
    std::string display;
};

/* A package manager's copy of shim.exe for a GUI program: the subsystem
   field of its header set to GUI (2). */
void set_gui_subsystem(const std::string &exe)
{
    std::fstream file(exe, std::ios::in | std::ios::out | std::ios::binary);
    char offset[4];
    file.seekg(0x3C).read(offset, 4);
    uint32_t header = (uint8_t)offset[0] | (uint8_t)offset[1] << 8 | (uint8_t)offset[2] << 16 |
                      (uint32_t)(uint8_t)offset[3] << 24;
    file.seekp(header + 92).put(2);
}

/* Where Wine printed the text after the label on its standard error, as
   Wine escapes "\\", CR and LF (its first 200 characters: Wine cuts a
   long one); npos where it did not. */
size_t find_printed(const std::string &errors, const std::string &label, const std::string &text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '\\' ? "\\\\" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return errors.find(label + escaped.substr(0, 200));
}

TEST_P(message_box, appears_only_for_a_failure)
{
    const box_case &c = GetParam();
    copy_probe(join_unix(tree.work, "probe.exe"));
    std::filesystem::copy_file(join_unix(E2E_HELPER_DIR, "probe_gui.exe"), tree.work + "/gui.exe");
    std::string program = *c.program ? c.program : launcher_name();
    std::string named = c.named;
    bool gui_copy = named == "shim.exe+gui";
    launch how;
    if (*c.program) {
        std::string exe = c.shim ? sibling_exe(gui_copy ? "shim.exe" : named)
                                 : join_unix(tree.bin, launcher_name());
        make_named_launcher(exe, tree.bin, program.substr(0, program.size() - 4), c.shim);
        if (gui_copy)
            set_gui_subsystem(join_unix(tree.bin, program));
        how.application = join_unix(tree.bin, program);
        how.unicode = true;
    }
    how.command_line = std::string("launcherw ..\\work ") + c.command;
    how.environment = make_environment(tree, "C:\\windows");
    how.environment.push_back("PROBE_EXIT=7");
    /* Wine takes the X display from the program's own environment. */
    how.environment.push_back("DISPLAY=" + display);
    how.display = display;
    how.stderr_kind = c.stderr_kind;
    if (c.no_handles)
        how.stdin_kind = how.stdout_kind = how.stderr_kind = "none";
    how.creation_flags = c.flags;
    how.hidden_station = c.hidden;
    /* Nothing may wait: a box nobody can dismiss would hold the launcher
       for good, and the runner ends it after this long. */
    how.wait_limit = *c.box ? 0 : 30;
    how.wine_debug = "warn+seh,err+eventlog";
    how.window_title = program;
    how.window_signal = join_unix(tree.root, "box.txt");
    std::future<launch_result> running =
        std::async(std::launch::async, [&] { return run_launcher(tree, how); });

    /* What X shows while the launcher runs, wherever Wine put its box. */
    std::string search = "DISPLAY=" + display + " xdotool search --name '^" + program +
                         "$' >/dev/null 2>&1";
    bool on_display = false;
    if (*c.box) {
        ASSERT_FALSE(wait_for_text(how.window_signal, box_limit).empty()) << "no box appeared";
        std::string dismiss = "DISPLAY=" + display + " xdotool search --name '^" + program +
                              "$' windowfocus --sync key Return";
        EXPECT_EQ(std::system(dismiss.c_str()), 0) << dismiss;
    } else {
        while (running.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
            on_display = on_display || std::system(search.c_str()) == 0;
    }
    launch_result result = running.get();
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.window_seen, *c.box != 0);
    EXPECT_FALSE(on_display) << "a window of " << program << " on the X display";
    auto expand = [&](std::string text) {
        if (text.find("{bin}") != std::string::npos)
            text.replace(text.find("{bin}"), 5, to_wine_path(tree.bin));
        return text;
    };
    EXPECT_EQ(show_bytes(result.window_text), show_bytes(expand(c.box)));
    /* The debugger output, and the event log: the exe's path, the message. */
    const std::string &errors = result.wine_errors;
    EXPECT_EQ(errors.find("OutputDebugStringA") != std::string::npos, *c.logged != 0) << errors;
    EXPECT_EQ(errors.find("ReportEventW") != std::string::npos, *c.logged != 0) << errors;
    if (*c.logged) {
        EXPECT_NE(find_printed(errors, "OutputDebugStringA \"", expand(c.logged)), std::string::npos)
            << errors;
        size_t path = find_printed(errors, "ReportEventW L\"", to_wine_path(join_unix(tree.bin, program)));
        size_t message = find_printed(errors, "ReportEventW L\"", expand(c.logged));
        EXPECT_NE(message, std::string::npos) << errors;
        EXPECT_LT(path, message) << errors;
    }
    probe_report report;
    if (c.exit_code != EXIT_FAILED) {
        EXPECT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
    }
}

INSTANTIATE_TEST_SUITE_P(cases, message_box, ::testing::ValuesIn(box_cases),
                         [](const ::testing::TestParamInfo<box_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
