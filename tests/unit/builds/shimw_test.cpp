/* shimw.exe: what only it does of a named start, from C:\app\MyApp.exe and
   its MyApp.shim, called from C:\caller: a message that has no standard
   error goes into a box, a started command ends it with 0 at once, and the
   caller's window state goes to the command.  What it shares with shim.exe
   (the file, the search, the command line) shim_test pins. */
#include "tests/unit/fixture.h"

namespace {

const std::string file = "C:\\app\\MyApp.shim";
const std::string tool = "path = bin\\tool.exe\n";
const std::string started = "\"C:\\app\\bin\\tool.exe\"";

struct windowless_start {
    std::string name;
    std::string shim;              /* MyApp.shim; empty: there is none */
    bool standard_error = false;   /* the caller gave one (a console) */
    std::string written;           /* what reaches it */
    std::string box;               /* the text shown; empty: no box */
    std::string line;              /* the command's line; empty: nothing starts */
    UINT exit_code = 0xFFFFFFFFu;
    DWORD start_error = 0;         /* CreateProcessA's answer for bin\tool.exe */
    const char *failing = nullptr; /* a call refused with ERROR_CANCELLED */
    WORD show = 0;                 /* the caller's window state; 0: none given */
    std::string shell;             /* ShellExecuteExW's verb and file */
};

void PrintTo(const windowless_start &row, std::ostream *out)
{
    *out << row.name;
}

/* A row of the table, its fields by name; a field not given keeps the
   default above. */
class row {
public:
    explicit row(const char *name) { start.name = name; }
    operator const windowless_start &() const { return start; }
    row &shim(const std::string &text) { start.shim = text; return *this; }
    row &standard_error(const std::string &text)
    {
        start.standard_error = true;
        start.written = text;
        return *this;
    }
    row &box(const std::string &text) { start.box = text; return *this; }
    row &line(const std::string &text) { start.line = text; return *this; }
    row &exit_code(UINT code) { start.exit_code = code; return *this; }
    row &start_error(DWORD code) { start.start_error = code; return *this; }
    row &failing(const char *call) { start.failing = call; return *this; }
    row &show(WORD state) { start.show = state; return *this; }
    row &shell(const std::string &text) { start.shell = text; return *this; }

private:
    windowless_start start;
};

const windowless_start windowless_starts[] = {
    row("no file, no standard error").box("Shim Failed: No such file or directory\n" + file +
                                          " (Windows error 2)"),
    row("no file, a standard error")
        .standard_error("Shim Failed: No such file or directory\r\n" + file +
                        " (Windows error 2)\r\n"),
    row("a wrong line").shim("path = x\nbad")
        .box("Shim Failed: a line without \"=\"\nbad in " + file),
    /* Whole, however long: a line of the file may hold 64 KiB. */
    row("a message of 40053 characters").shim("path = x\n" + std::string(40000, 'b'))
        .box("Shim Failed: a line without \"=\"\n" + std::string(40000, 'b') + " in " + file),
    /* Ended with 0 as soon as the command has started: never waited for. */
    row("a started command").shim(tool).line(started).exit_code(0),
    row("a started command, a standard error").shim(tool).standard_error("").line(started)
        .exit_code(0),
    row("a minimized caller").shim(tool).line(started).exit_code(0).show(SW_SHOWMINNOACTIVE),
    row("a maximized caller").shim(tool).line(started).exit_code(0).show(SW_SHOWMAXIMIZED),
    /* Elevated through the shell, and not waited for either. */
    row("elevation accepted").shim(tool).line(started).exit_code(0).start_error(740)
        .shell("runas|C:\\app\\MyApp.exe"),
    row("elevation declined").shim(tool).line(started).start_error(740)
        .failing("ShellExecuteExW").shell("runas|C:\\app\\MyApp.exe")
        .box("Shim Failed: elevation was declined\npath = bin\\tool.exe in " + file +
             " (Windows error 1223)"),
};

class shimw_test : public launcher_test, public testing::WithParamInterface<windowless_start> {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::world().module_path = "C:\\app\\MyApp.exe";
        sim::add_file_bytes("C:\\app\\MyApp.exe", std::string(2000, 'x'));
        sim::add_file("C:\\app\\bin\\tool.exe");
        sim::world().current_directory = "C:\\caller";
        sim::world().child_exit_code = 7;
    }
};

TEST_P(shimw_test, a_named_start_without_a_console)
{
    const windowless_start &c = GetParam();
    if (!c.shim.empty())
        sim::add_file_bytes(file, c.shim);
    if (!c.standard_error)
        sim::world().std_handles.erase(STD_ERROR_HANDLE);
    sim::world().start_errors[sim::key_of("C:\\app\\bin\\tool.exe")] = c.start_error;
    if (c.failing)
        sim::fail_call(c.failing, 1, 0, ERROR_CANCELLED);
    sim::world().startup_flags = c.show ? STARTF_USESHOWWINDOW : 0;
    sim::world().show_window = c.show;
    sim::world().command_line = "MyApp";
    EXPECT_EQ(run_whole_program().code, c.exit_code);
    EXPECT_EQ(sim::output_of(standard_error), c.written);
    ASSERT_EQ(sim::world().boxes.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) {
        EXPECT_EQ(sim::world().boxes[0].text, c.box);
        EXPECT_EQ(sim::world().boxes[0].title, "MyApp.exe");
    }
    /* USER32 is loaded for the box alone. */
    size_t loads = 0;
    for (const sim::call &call : sim::calls_named("LoadLibraryA"))
        loads += call.text == "USER32.dll";
    EXPECT_EQ(loads, c.box.empty() ? 0u : 1u);
    ASSERT_EQ(sim::world().starts.size(), c.line.empty() ? 0u : 1u);
    if (!c.line.empty()) {
        EXPECT_EQ(sim::world().starts[0].command_line, c.line);
        EXPECT_EQ(sim::world().starts[0].startup_flags, c.show ? STARTF_USESHOWWINDOW : 0u);
        EXPECT_EQ(sim::world().starts[0].show_window, c.show);
    }
    std::string shell;
    for (const sim::call &call : sim::calls_named("ShellExecuteExW"))
        shell += call.text.substr(0, call.text.find('|', call.text.find('|') + 1));
    EXPECT_EQ(shell, c.shell);
    for (const char *never : {"WaitForSingleObject", "GetExitCodeProcess", "FreeConsole",
                              "CreateJobObjectA", "SetConsoleCtrlHandler"})
        EXPECT_TRUE(sim::calls_named(never).empty()) << never;
}

INSTANTIATE_TEST_SUITE_P(windowless_starts, shimw_test, testing::ValuesIn(windowless_starts),
                         name_each_row<windowless_start>);

} // namespace
