/*
 * launcherw.exe started as from a shortcut, with no standard error at all:
 * a failure shows its message in a box, the exit code stays launcher.exe's,
 * and a successful start shows nothing.  Wine draws the box on the suite's
 * virtual X display (Xvfb, set up with its own prefix by the e2e.wine_start
 * fixture); the runner reads the box's text, and the test dismisses it as a
 * user would, with Return through xdotool.
 */
#include "e2e_support.h"

#include <chrono>
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
    const char *command;  /* after "launcherw ..\work " */
    uint32_t exit_code;
    const char *box;      /* empty: no window may appear */
    const char *stderr_kind = "none";
    const char *program = "";  /* UTF-8; empty: the build's own name */
    const char *shim = nullptr;  /* a named launcher's file: the program is
                                    then shimw.exe under that name */
};

const char not_found[] = "Exec Failed: No such file or directory";

const box_case box_cases[] = {
    {"missing_command_shows_its_message", "tool", EXIT_FAILED, not_found},
    {"started_command_shows_nothing", "probe", 0, ""},
    /* A standard error that refuses the message is as good as none. */
    {"refused_message_shows_in_a_box", "tool", EXIT_FAILED, not_found, "readonly"},
    /* The title is the true file name, no look-alike of it. */
    {"title_is_the_true_file_name", "tool", EXIT_FAILED, not_found, "none",
     "launcherw-\u03a9\u65e5\u672c.exe"},
    {"named_launcher_shows_where_it_looked", "", EXIT_FAILED,
     "Exec Failed: No such file or directory\npath = nothing.exe in {bin}\\MyApp.shim (Windows error 2)",
     "none",
     "MyApp.exe",
     "path = nothing.exe"},
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

TEST_P(message_box, appears_only_for_a_failure)
{
    const box_case &c = GetParam();
    copy_probe(join_unix(tree.work, "probe.exe"));
    std::string program = *c.program ? c.program : launcher_name();
    launch how;
    if (*c.program) {
        std::string exe = c.shim ? sibling_exe("shimw.exe") : join_unix(tree.bin, launcher_name());
        make_named_launcher(exe, tree.bin, program.substr(0, program.size() - 4), c.shim);
        how.application = join_unix(tree.bin, program);
        how.unicode = true;
    }
    how.command_line = std::string("launcherw ..\\work ") + c.command;
    how.environment = make_environment(tree, "C:\\windows");
    /* Wine takes the X display from the program's own environment. */
    how.environment.push_back("DISPLAY=" + display);
    how.display = display;
    how.stderr_kind = c.stderr_kind;
    how.window_title = program;
    how.window_signal = join_unix(tree.root, "box.txt");
    std::future<launch_result> running =
        std::async(std::launch::async, [&] { return run_launcher(tree, how); });

    if (*c.box) {
        ASSERT_FALSE(wait_for_text(how.window_signal, box_limit).empty()) << "no box appeared";
        std::string dismiss = "DISPLAY=" + display + " xdotool search --name '^" + program +
                              "$' windowfocus --sync key Return";
        EXPECT_EQ(std::system(dismiss.c_str()), 0) << dismiss;
    }
    launch_result result = running.get();
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.window_seen, *c.box != 0);
    std::string box = c.box;
    if (box.find("{bin}") != std::string::npos)
        box.replace(box.find("{bin}"), 5, to_wine_path(tree.bin));
    EXPECT_EQ(show_bytes(result.window_text), show_bytes(box));
    probe_report report;
    if (!*c.box) {
        EXPECT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
    }
}

INSTANTIATE_TEST_SUITE_P(cases, message_box, ::testing::ValuesIn(box_cases),
                         [](const ::testing::TestParamInfo<box_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
