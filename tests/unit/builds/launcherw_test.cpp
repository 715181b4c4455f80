/* launcherw.exe: where a message goes when there is no standard error. */
#include "tests/unit/fixture.h"

#include "runtime/heap.h"
#include "runtime/unwritten.h"

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
    LONGEST_NAME,
    ON_64_BIT_WINDOWS,
    ELEVATION_REQUIRED,
    MINIMIZED_CALLER,
    TRACED,
    TRACE_REFUSED,
    TRACED_TO_HANDLE_0,
    /* Where no user could see a box. */
    HIDDEN_STATION,
    SESSION_0,
    SESSION_UNKNOWN,
    STATION_UNKNOWN,
    NO_ADVAPI32,
    EVENT_SOURCE_REFUSED
};

/* Through the ANSI calls the title would turn these into look-alikes. */
const char16_t name_beyond_code_page[] = u"C:\\app\\bin\\launcherw-\u03a9\u65e5\u672c.exe";
const char title_beyond_code_page[] = "launcherw-\u03a9\u65e5\u672c.exe";

struct box_case {
    std::string name;
    std::string command = "tool";   /* after "launcherw C:\work " */
    std::string path = "C:\\bin";
    int failing_allocation = 0;      /* 0: none */
    int setting = NO_STANDARD_ERROR;
    std::string box;                 /* the text shown; empty: no box at all */
    UINT exit_code = 0xFFFFFFFFu;
    std::string logged;              /* the debugger output and the event
                                        log's message; empty: none */
};

/* ctest shows the row's name beside its case's. */
void PrintTo(const box_case &row, std::ostream *out)
{
    *out << row.name;
}

/* A row of the table, its fields by name; a field not given keeps the
   default above. */
class row {
public:
    explicit row(const char *name) { box_row.name = name; }
    operator const box_case &() const { return box_row; }
    row &command(const char *name) { box_row.command = name; return *this; }
    row &path(const std::string &value) { box_row.path = value; return *this; }
    row &failing_allocation(int number) { box_row.failing_allocation = number; return *this; }
    row &setting(int which) { box_row.setting = which; return *this; }
    row &box(const char *text) { box_row.box = text; return *this; }
    row &exit_code(UINT code) { box_row.exit_code = code; return *this; }
    row &logged(const char *text) { box_row.logged = text; return *this; }

private:
    box_case box_row;
};

const std::string long_path(8192, 'p');

const box_case box_cases[] = {
    row("command not found").box(not_found),
    row("bare message").path(long_path).box(path_too_long),
    /* The handle group, the command line, the environment block, then the
       argument vector. */
    row("run-time error").failing_allocation(4).box(no_memory_for_arguments).exit_code(255),
    row("command started").command("app").exit_code(0),
    row("command started minimized").command("app").setting(MINIMIZED_CALLER).exit_code(0),
    /* Where a standard error exists the message goes there as launcher.exe
       writes it. */
    row("standard error on a file").setting(STANDARD_ERROR_ON_FILE),
    /* No box where no user could see one, and nothing waits: the debugger
       and the event log get the message, or as much of it as they can. */
    row("no USER32").setting(NO_USER32).logged(not_found),
    row("a hidden window station").setting(HIDDEN_STATION).logged(not_found),
    row("session 0").setting(SESSION_0).logged(not_found),
    row("no session known").setting(SESSION_UNKNOWN).logged(not_found),
    row("no station flags known").setting(STATION_UNKNOWN).logged(not_found),
    row("no ADVAPI32").setting(NO_ADVAPI32).logged(not_found),
    row("an event source refused").setting(EVENT_SOURCE_REFUSED).logged(not_found),
    /* A standard error that refuses the message (read-only, closed) is as
       good as none: the box shows it, with the reason being reported rather
       than the failed write's. */
    row("standard error refuses").setting(STANDARD_ERROR_REFUSES).box(not_found),
    row("standard error refuses a bare message").path(long_path).setting(STANDARD_ERROR_REFUSES)
        .box(path_too_long),
    row("title beyond the code page").setting(NAME_BEYOND_CODE_PAGE).box(not_found),
    /* The longest path a program can have: 32766 units. */
    row("title of the longest program path").setting(LONGEST_NAME).box(not_found),
    /* The search saw the native System32; the box's library is loaded in
       the process's own view again. */
    row("on 64-bit Windows").setting(ON_64_BIT_WINDOWS).box(not_found),
    row("elevation required").command("app").setting(ELEVATION_REQUIRED)
        .box("Exec Failed: Invalid argument"),
    /* The trace goes to the debugger, never into the box. */
    row("traced").setting(TRACED).box(not_found),
    /* A trace line refused is no lost message: the failure written after it
       goes to standard error alone. */
    row("a trace line refused").setting(TRACE_REFUSED),
    /* Handle 0 for standard error in a received block is none either. */
    row("traced to handle 0 of a received block").setting(TRACED_TO_HANDLE_0).box(not_found),
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
class box_test : public launcherw_test, public testing::WithParamInterface<box_case> {};

TEST_P(box_test, a_message_goes_to_standard_error_or_else_to_a_box)
{
    const box_case &c = GetParam();
    HANDLE file = nullptr;
    if (c.setting == STANDARD_ERROR_ON_FILE || c.setting == STANDARD_ERROR_REFUSES ||
        c.setting == TRACE_REFUSED)
        file = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_DISK);
    else
        sim::world().std_handles.erase(STD_ERROR_HANDLE);
    if (c.setting == STANDARD_ERROR_REFUSES || c.setting == TRACE_REFUSED)
        sim::fail_write(1, ERROR_ACCESS_DENIED);
    if (c.setting == LONGEST_NAME)
        sim::world().module_path = "C:\\" + std::string(32749, 'd') + "\\launcherw.exe";
    if (c.setting == NAME_BEYOND_CODE_PAGE)
        sim::world().module_path = name_beyond_code_page;
    if (c.setting == NO_USER32)
        sim::world().missing_libraries = {"USER32.DLL"};
    if (c.setting == NO_ADVAPI32 || c.setting == EVENT_SOURCE_REFUSED)
        sim::world().station_visible = false;
    if (c.setting == NO_ADVAPI32)
        sim::world().missing_libraries = {"ADVAPI32.DLL"};
    if (c.setting == EVENT_SOURCE_REFUSED)
        sim::fail_call("RegisterEventSourceW", 1, 0, ERROR_ACCESS_DENIED);
    sim::world().station_visible = sim::world().station_visible && c.setting != HIDDEN_STATION;
    sim::world().session = c.setting == SESSION_0 ? 0 : 1;
    if (c.setting == SESSION_UNKNOWN)
        sim::fail_call("ProcessIdToSessionId", 1, 0, ERROR_ACCESS_DENIED);
    if (c.setting == STATION_UNKNOWN)
        sim::fail_call("GetUserObjectInformationW", 1, 0, ERROR_INVALID_HANDLE);
    sim::world().wow64 = c.setting == ON_64_BIT_WINDOWS;
    if (c.setting == ELEVATION_REQUIRED)
        sim::world().start_errors[sim::key_of("C:\\work\\app.exe")] = ERROR_ELEVATION_REQUIRED;
    sim::world().startup_flags = c.setting == MINIMIZED_CALLER ? STARTF_USESHOWWINDOW : 0;
    sim::world().show_window = SW_SHOWMINNOACTIVE;
    bool traced = c.setting == TRACED || c.setting == TRACE_REFUSED || c.setting == TRACED_TO_HANDLE_0;
    sim::set_variable("LAUNCHER_TRACE", std::string(traced ? "1" : "0"));
    sim::world().command_line = std::string("launcherw C:\\work ") + c.command;
    sim::set_variable("PATH", c.path);
    if (c.failing_allocation)
        sim::fail_allocation(c.failing_allocation);
    if (c.setting == TRACED_TO_HANDLE_0)
        sim::world().startup_block = std::vector<BYTE>{3, 0, 0, 0, 0, 0, 0x09, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    sim::exit_signal end = run_whole_program();
    EXPECT_EQ(end.code, c.exit_code);
    std::vector<sim::call> lines = sim::calls_named("OutputDebugStringA");
    bool traced_there = c.setting == TRACED || c.setting == TRACED_TO_HANDLE_0;
    EXPECT_EQ(lines.empty() ? "" : lines.back().text, traced_there ? last_traced : "");
    if (c.setting == STANDARD_ERROR_ON_FILE) {
        EXPECT_EQ(sim::output_of(file), std::string(not_found) + "\r\n");
    }
    /* The debugger and the event log: the exe's path, then the message,
       under the project's source, which is deregistered after. */
    std::vector<sim::call> debugged = sim::calls_named("OutputDebugStringW");
    EXPECT_EQ(debugged.empty() ? "" : debugged[0].text, c.logged);
    bool reported = !c.logged.empty() && c.setting != NO_ADVAPI32 && c.setting != EVENT_SOURCE_REFUSED;
    ASSERT_EQ(sim::world().events.size(), reported ? 1u : 0u);
    if (reported) {
        const sim::event_entry &event = sim::world().events[0];
        EXPECT_EQ(event.source, "Launcher");
        EXPECT_EQ(event.type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(event.id, 1u);
        /* No category, user, data or size of it. */
        EXPECT_EQ(sim::calls_named("ReportEventW")[0].args, (std::vector<uint64_t>{0, 1, 0, 1}));
        EXPECT_EQ(event.strings, (std::vector<std::string>{"C:\\app\\bin\\launcherw.exe", c.logged}));
        EXPECT_EQ(sim::call_names().end()[-2], "DeregisterEventSource");
    }
    if (c.box.empty()) {
        EXPECT_TRUE(sim::world().boxes.empty());
        for (const sim::process_start &start : sim::world().starts) {
            EXPECT_EQ(start.show_window, c.setting == MINIMIZED_CALLER ? SW_SHOWMINNOACTIVE : 0);
            EXPECT_GT(start.block->size(), 4u) << "the standard slots passed as always";
        }
        if (c.logged.empty()) {
            EXPECT_TRUE(sim::calls_named("LoadLibraryA").empty());
        }
        return;
    }
    ASSERT_EQ(sim::world().boxes.size(), 1u);
    EXPECT_EQ(sim::calls_named("LoadLibraryA")[0].args[0], 0u) << "redirection off";
    EXPECT_EQ(sim::world().boxes[0].text, c.box);
    EXPECT_EQ(sim::world().boxes[0].title,
              c.setting == NAME_BEYOND_CODE_PAGE ? title_beyond_code_page : "launcherw.exe");
    EXPECT_EQ(sim::world().boxes[0].flags, (UINT)(MB_OK | MB_ICONERROR | MB_SETFOREGROUND));
    /* The box is the last thing before the exit. */
    std::vector<std::string> names = sim::call_names();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], "MessageBoxW");
}

INSTANTIATE_TEST_SUITE_P(boxes, box_test, testing::ValuesIn(box_cases), name_each_row<box_case>);

/* A message shows whole however long, since its end names the file; a
   piece the conversion refuses still shows its ASCII. */
TEST_F(launcherw_test, a_box_shows_a_long_message_whole)
{
    for (auto [text, code_page, fails] :
         {std::tuple{std::string(2044, 'a') + "E", 1252u, 0},
          {std::string(69999, 'b') + "E", 1252u, 0}, {std::string(2044, 'c') + "E", 1252u, 1},
          {"\xc3\xa9", (UINT)CP_UTF8, 0}}) {
        SetUp();
        create_heap();
        sim::world().acp = code_page;
        if (fails)
            sim::fail_call("MultiByteToWideChar", 1, 0, ERROR_INVALID_PARAMETER);
        keep_message(text.data(), (unsigned)text.size(), 1);
        show_unwritten_messages();
        ASSERT_EQ(sim::world().boxes.size(), 1u) << text.size();
        EXPECT_EQ(sim::world().boxes[0].text, text) << text.size();
        EXPECT_EQ(sim::calls_named("MultiByteToWideChar").at(0).args,
                  (std::vector<uint64_t>{CP_ACP, 0, text.size(), text.size()}));
    }
}

} // namespace
