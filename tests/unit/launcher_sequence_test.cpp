/* The main routine: PATH, the change of directory and every status. */
#include "tests/unit/fixture.h"

#include "launcher/launcher.h"
#include "runtime/error_number.h"

#include <algorithm>
#include <optional>

namespace {

const char path_message[] = "Path too long for launcher, maximum size supported is 8192 bytes";
const char directory_message[] =
    "Current directory too long for launcher, maximum size supported is 1024 bytes";

class launcher_sequence_test : public launcher_test {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::add_directory("C:\\app\\bin");
        sim::add_directory("C:\\app\\lib");
        sim::add_directory("C:\\app\\work");
        sim::world().current_directory = "C:\\app\\bin";
        sim::set_variable("PATH", std::string("C:\\tools"));
    }

    /* Starts the runtime with the world as the test left it. */
    launcher_outcome run(const std::vector<std::string> &arguments)
    {
        start_runtime();
        sim::world().calls.clear();
        return run_main_routine(arguments);
    }

    std::vector<std::string> variables_set()
    {
        std::vector<std::string> set;
        for (const sim::call &c : sim::calls_named("SetEnvironmentVariableW"))
            set.push_back(c.text);
        return set;
    }
};

TEST_F(launcher_sequence_test, without_arguments_the_status_is_minus_one_and_nothing_happens)
{
    launcher_outcome outcome = run({});
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(sim::call_names(), std::vector<std::string>{"GetEnvironmentVariableA"});
}

TEST_F(launcher_sequence_test, a_working_directory_alone_extends_path_and_changes_directory)
{
    launcher_outcome outcome = run({"..\\work"});
    EXPECT_FALSE(outcome.exited);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(variables_set(), (std::vector<std::string>{"PATH=C:\\tools;C:\\app\\bin\\..\\lib",
                                                         "=C:=C:\\app\\work"}));
    EXPECT_EQ(sim::world().current_directory, "C:\\app\\work");
    EXPECT_TRUE(written_chunks().empty());
    EXPECT_TRUE(sim::world().starts.empty());
}

struct path_case {
    const char *name;
    std::optional<sim::wide_text> old_path;
    std::string start_directory;
    sim::wide_text new_path;
};

TEST_F(launcher_sequence_test, the_library_directory_is_appended_to_path)
{
    const path_case cases[] = {
        {"ordinary", sim::wide_text("C:\\tools;D:\\x"), "C:\\app\\bin", "C:\\tools;D:\\x;C:\\app\\bin\\..\\lib"},
        {"empty value", sim::wide_text(""), "C:\\app\\bin", ";C:\\app\\bin\\..\\lib"},
        {"not set at all", std::nullopt, "C:\\app\\bin", ";C:\\app\\bin\\..\\lib"},
        {"drive root", sim::wide_text("C:\\tools"), "C:\\", "C:\\tools;C:\\\\..\\lib"},
        {"network share", sim::wide_text("C:\\tools"), "\\\\server\\share\\bin",
         "C:\\tools;\\\\server\\share\\bin\\..\\lib"},
        {"duplicates kept", sim::wide_text("C:\\app\\lib;C:\\app\\lib"), "C:\\app\\bin",
         "C:\\app\\lib;C:\\app\\lib;C:\\app\\bin\\..\\lib"},
        /* The ANSI form would read "Z:\t\Omega;C:\??", other folders. */
        {"characters the code page lacks", sim::wide_text(u"Z:\\t\\\u03a9mega;C:\\\u65e5\u672c"),
         "C:\\app\\bin", sim::wide_text(u"Z:\\t\\\u03a9mega;C:\\\u65e5\u672c;C:\\app\\bin\\..\\lib")},
    };
    for (const path_case &c : cases) {
        SetUp();
        sim::set_variable("PATH", c.old_path);
        sim::add_directory(c.start_directory);
        sim::world().current_directory = c.start_directory;
        size_t live = 0;
        start_runtime();
        live = sim::live_allocations();
        int allocations = sim::world().allocations;
        run_main_routine({"C:\\app\\work"});
        EXPECT_EQ(sim::get_wide_variable("PATH"), std::u16string(c.new_path)) << c.name;
        /* Sized exactly, and released once handed over. */
        std::vector<sim::call> allocs = sim::calls_named("HeapAlloc");
        ASSERT_GT((int)allocs.size(), allocations) << c.name;
        EXPECT_EQ(allocs[allocations].args[2], (c.new_path.size() + 1) * sizeof(WCHAR)) << c.name;
        EXPECT_EQ(sim::live_allocations(), live) << c.name;
    }
}

TEST_F(launcher_sequence_test, a_path_of_8191_bytes_is_accepted)
{
    std::string path(8191, 'p');
    sim::set_variable("PATH", path);
    EXPECT_EQ(run({"C:\\app\\work"}).status, 0);
    EXPECT_EQ(sim::get_variable("PATH"), path + ";C:\\app\\bin\\..\\lib");

    /* 4095 Cyrillic characters and one more byte under UTF-8. */
    SetUp();
    sim::world().acp = CP_UTF8;
    sim::wide_text wide(std::u16string(4095, u'\u0410') + u"p");
    sim::set_variable("PATH", wide);
    EXPECT_EQ(run({"C:\\app\\work"}).status, 0);
    EXPECT_EQ(sim::get_wide_variable("PATH"), wide + u";C:\\app\\bin\\..\\lib");

    /* The wide form has a limit of its own, where the bytes are not known:
       the query of the ANSI size (the second lookup, after the trace's)
       answers nothing here. */
    for (size_t length : {8191, 8192}) {
        SetUp();
        sim::set_variable("PATH", std::string(length, 'p'));
        sim::fail_call("GetEnvironmentVariableA", 2, 0, ERROR_SUCCESS);
        EXPECT_EQ(run({"C:\\app\\work"}).status, length < 8192 ? 0 : -1) << length;
        EXPECT_EQ(written_chunks(), length < 8192 ? std::vector<std::string>{}
                                                  : std::vector<std::string>{path_message})
            << length;
    }
}

/* `count` Cyrillic characters in UTF-8, two bytes each. */
std::string cyrillic(size_t count)
{
    std::string text;
    while (count--)
        text += "\xD0\x90";
    return text;
}

struct limit_case {
    const char *name;
    sim::wide_text path;
    std::string start_directory;
    std::string message;
    UINT code_page = 1252;
    DWORD wide_directory = 0; /* GetCurrentDirectoryW's answer; 0: the simulated one */
};

/* The limits count bytes of the ANSI code page: under UTF-8 a Cyrillic
   character takes two.  Pinned here, against the simulated platform, which
   counts as Windows does: under Wine with code page 932 the ANSI length
   query returns the UTF-16 length, so there the limit cannot be shown in
   bytes. */
TEST_F(launcher_sequence_test, values_too_long_are_refused_and_change_nothing)
{
    const limit_case cases[] = {
        {"PATH of 8192", std::string(8192, 'p'), "C:\\app\\bin", path_message},
        {"PATH of 20000", std::string(20000, 'p'), "C:\\app\\bin", path_message},
        {"start directory of 1023", "C:\\tools", "C:\\" + std::string(1020, 'd'), directory_message},
        /* The bytes count, not the characters: 513 of them fit the wide buffer. */
        {"start directory of 1023 bytes in 513 characters of UTF-8", "C:\\tools",
         "C:\\" + cyrillic(510), directory_message, CP_UTF8},
        {"PATH of 4096 characters in 8192 bytes of UTF-8", std::u16string(4096, u'\u0410'),
         "C:\\app\\bin", path_message, CP_UTF8},
        /* The wide form has a limit of its own: a start directory that asks
           for 1024 units, whatever its ANSI form took. */
        {"start directory of 1023 units", "C:\\tools", "C:\\app\\bin", directory_message, 1252,
         1024},
    };
    for (const limit_case &c : cases) {
        SetUp();
        sim::world().acp = c.code_page;
        sim::set_variable("PATH", c.path);
        sim::world().current_directory = c.start_directory;
        if (c.wide_directory)
            sim::fail_call("GetCurrentDirectoryW", 1, c.wide_directory, ERROR_SUCCESS);
        launcher_outcome outcome = run({"C:\\app\\work", "tool"});
        EXPECT_EQ(outcome.status, -1) << c.name;
        /* On a console the message leaves in one write, with no line end. */
        EXPECT_EQ(written_chunks(), (std::vector<std::string>{c.message})) << c.name;
        EXPECT_TRUE(variables_set().empty()) << c.name;
        EXPECT_TRUE(sim::calls_named("SetCurrentDirectoryA").empty()) << c.name;
        EXPECT_EQ(sim::get_wide_variable("PATH"), std::u16string(c.path)) << c.name;
    }
}

TEST_F(launcher_sequence_test, a_start_directory_of_1022_characters_is_accepted)
{
    /* In bytes of the ANSI code page: 1022 of UTF-8 too. */
    for (UINT code_page : {1252u, (UINT)CP_UTF8}) {
        SetUp();
        sim::world().acp = code_page;
        std::string start = code_page == CP_UTF8 ? "C:\\" + cyrillic(509) + "d"
                                                 : "C:\\" + std::string(1019, 'd');
        sim::world().current_directory = start;
        EXPECT_EQ(run({"C:\\app\\work"}).status, 0) << code_page;
        EXPECT_EQ(sim::get_variable("PATH"), "C:\\tools;" + start + "\\..\\lib") << code_page;
    }
}

TEST_F(launcher_sequence_test, a_missing_start_directory_leaves_path_alone_and_goes_on)
{
    sim::fail_call("GetCurrentDirectoryA", 1, 0, ERROR_ACCESS_DENIED);
    launcher_outcome outcome = run({"C:\\app\\work"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(sim::get_variable("PATH"), "C:\\tools");
    EXPECT_EQ(sim::world().current_directory, "C:\\app\\work");
    EXPECT_TRUE(written_chunks().empty());
}

TEST_F(launcher_sequence_test, no_memory_for_the_new_path_is_reported_with_the_standing_error)
{
    start_runtime();
    sim::fail_allocation(sim::world().allocations + 1);
    launcher_outcome outcome = run_main_routine({"C:\\app\\work", "tool"});
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(sim::output_of(standard_error), "Environment allocation failed: No error\r\n");
    EXPECT_EQ(sim::get_variable("PATH"), "C:\\tools");
    EXPECT_EQ(sim::world().current_directory, "C:\\app\\bin");
}

TEST_F(launcher_sequence_test, failures_to_set_path_or_change_directory_are_ignored)
{
    sim::fail_call("SetEnvironmentVariableW", 1, FALSE, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(run({"C:\\app\\nowhere"}).status, 0);
    EXPECT_EQ(sim::get_variable("PATH"), "C:\\tools");
    EXPECT_EQ(sim::world().current_directory, "C:\\app\\bin");
    EXPECT_TRUE(written_chunks().empty());
}

TEST_F(launcher_sequence_test, a_command_is_looked_up_from_the_start_directory_when_the_change_fails)
{
    sim::add_file("C:\\app\\bin\\tool.exe");
    launcher_outcome outcome = run({"C:\\app\\nowhere", "tool"});
    EXPECT_TRUE(outcome.exited);
    ASSERT_EQ(sim::world().starts.size(), 1u);
    EXPECT_EQ(sim::world().starts[0].current_directory, "C:\\app\\bin");
}

TEST_F(launcher_sequence_test, a_command_that_cannot_be_found_is_reported)
{
    launcher_outcome outcome = run({"C:\\app\\work", "tool"});
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(sim::output_of(standard_error), "Exec Failed: No such file or directory\r\n");
}

TEST_F(launcher_sequence_test, a_relative_working_directory_and_command_resolve_in_order)
{
    sim::add_file("C:\\app\\work\\tool.exe");
    launcher_outcome outcome = run({"..\\work", "tool", "-v"});
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_code, 0u);
    ASSERT_EQ(sim::world().starts.size(), 1u);
    EXPECT_EQ(sim::world().starts[0].application, ".\\tool.exe");
    EXPECT_EQ(sim::world().starts[0].command_line, "tool -v");
    EXPECT_EQ(sim::get_variable("PATH"), "C:\\tools;C:\\app\\bin\\..\\lib");
}

/* change_directory on its own. */

TEST_F(launcher_sequence_test, the_drive_variable_is_named_with_an_upper_case_letter)
{
    sim::add_directory("D:\\work");
    EXPECT_EQ(change_directory("d:\\work"), 0);
    EXPECT_EQ(sim::world().current_directory, "d:\\work");
    EXPECT_EQ(sim::get_variable("=D:"), std::string("d:\\work"));
    EXPECT_EQ(sim::get_variable("=d:"), std::string("d:\\work")); /* names ignore case */
}

TEST_F(launcher_sequence_test, a_unc_directory_sets_no_drive_variable)
{
    sim::add_directory("\\\\server\\share\\work");
    EXPECT_EQ(change_directory("\\\\server\\share\\work"), 0);
    EXPECT_EQ(sim::world().current_directory, "\\\\server\\share\\work");
    EXPECT_TRUE(sim::calls_named("SetEnvironmentVariableW").empty());
}

struct drive_variable_case {
    const char *name;
    UINT code_page;
    std::string directory;  /* changed into */
    std::string variable;   /* set to the directory; empty: none is set */
};

/* The variable names the new directory exactly, whatever its length in
   bytes, and exists only for a directory on a drive (for a UNC directory
   see above). */
TEST_F(launcher_sequence_test, the_drive_variable_is_set_for_every_drive_directory)
{
    const std::string hyo = "\x95\x5c"; /* a double-byte character of code page 932 */
    std::string double_byte = "D:\\";
    for (int i = 0; i < 150; i++)
        double_byte += hyo;
    const drive_variable_case cases[] = {
        {"longer than 260 bytes", 1252, "D:\\" + std::string(300, 'g'), "=D:"},
        {"150 double-byte characters", 932, double_byte, "=D:"},
        {"device name taken for a directory", 1252, "NUL", ""},
    };
    for (const drive_variable_case &c : cases) {
        SetUp();
        CPINFO japanese = {};
        japanese.MaxCharSize = 2;
        japanese.LeadByte[0] = 0x81;
        japanese.LeadByte[1] = 0xFE;
        sim::world().code_pages[932] = japanese;
        sim::world().acp = c.code_page;
        sim::set_variable("=D:", std::string("D:\\old"));
        sim::set_variable("=N:", std::nullopt);
        if (c.directory == "NUL")
            sim::world().device_names.insert("NUL");
        else
            sim::add_directory(c.directory);
        EXPECT_EQ(change_directory(c.directory.c_str()), 0) << c.name;
        if (c.variable.empty()) {
            EXPECT_TRUE(sim::calls_named("SetEnvironmentVariableW").empty()) << c.name;
            EXPECT_EQ(sim::get_variable("=D:"), std::string("D:\\old")) << c.name;
        } else {
            EXPECT_EQ(sim::get_variable(c.variable), c.directory) << c.name;
        }
    }
}

struct change_failure {
    const char *name;
    const char *call;
    uint64_t result;
    DWORD os_error;
    int number;
};

TEST_F(launcher_sequence_test, a_failed_change_maps_the_platform_error)
{
    sim::add_directory("C:\\somewhere");
    const change_failure cases[] = {
        {"directory missing", "SetCurrentDirectoryA", FALSE, ERROR_FILE_NOT_FOUND, 2},
        {"access denied", "SetCurrentDirectoryA", FALSE, ERROR_ACCESS_DENIED, 13},
        {"directory unreadable", "GetCurrentDirectoryW", 0, ERROR_NOT_ENOUGH_MEMORY, 12},
        {"variable refused", "SetEnvironmentVariableW", FALSE, ERROR_NOT_ENOUGH_MEMORY, 12},
    };
    for (const change_failure &c : cases) {
        SetUp();
        sim::add_directory("C:\\somewhere");
        sim::fail_call(c.call, 1, c.result, c.os_error);
        EXPECT_EQ(change_directory("C:\\somewhere"), -1) << c.name;
        EXPECT_EQ(error_number, c.number) << c.name;
        EXPECT_EQ(os_error_code, c.os_error) << c.name;
    }
}

} // namespace

namespace {

struct view_case {
    const char *name;
    bool wow64;     /* a 32-bit launcher on 64-bit Windows */
    bool functions; /* the platform has the two functions (not before Vista) */
    const char *command;
    bool started;
    const char *directory = "..\\work";
    const char *entered = "C:\\app\\work"; /* where the command starts */
    const char *trace = nullptr; /* LAUNCHER_TRACE */
    std::string output = {};     /* standard error; none: as the last untraced row */
    int status = 0;
    const char *application = "C:\\Windows\\System32\\ssh.exe"; /* as started */
    const char *failing = nullptr; /* a call refused */
    size_t writes = 0;             /* to standard error; 0: not counted */
    UINT code_page = 1252;
};

const std::string missing = "No such file or directory (Windows error 2)";
const std::string ssh_found = traced({"candidate .\\ssh.exe: " + missing,
    "found C:\\Windows\\System32\\ssh.exe", "handle width 4", "command line ssh.exe"});
const std::string ssh_trace =
    traced({"append to PATH C:\\app\\bin\\..\\lib", "enter ..\\work"}) + ssh_found;
/* A command found in the working directory, as the trace names it. */
std::string found_here_trace(const std::string &found)
{
    return traced({"append to PATH C:\\app\\bin\\..\\lib", "enter ..\\work",
                   "candidate .\\tool.com: " + missing, "found " + found, "handle width 4",
                   "command line tool"});
}
/* A directory not there whose trace line, with its line end, has `size`
   bytes: a line leaves in pieces of 512. */
const std::string enter_line = "trace: enter ..\\: " + missing + "\n";
std::string far_directory(size_t size)
{
    return "..\\" + std::string(size - enter_line.size(), 'd');
}
std::string far_trace(size_t size)
{
    return traced({"append to PATH C:\\app\\bin\\..\\lib",
                   "enter " + far_directory(size) + ": " + missing, "stay in C:\\app\\bin"}) +
           ssh_found;
}
const std::string far_512 = far_directory(512), far_513 = far_directory(513);

/* A command or directory only in the native System32 is found, entered and
   started as any 64-bit caller does; the redirection is back on right
   after the start, or after a search that started nothing, before the
   message.  On 32-bit Windows there is nothing to turn off and nothing
   fails. */
TEST_F(launcher_sequence_test, the_search_and_the_start_see_the_native_system32)
{
    const view_case cases[] = {
        {"bare name on 64-bit Windows", true, true, "ssh", true},
        {"absolute path on 64-bit Windows", true, true, "C:\\Windows\\System32\\ssh.exe", true},
        {"missing command on 64-bit Windows", true, true, "nosuch", false},
        {"bare name on 32-bit Windows", false, true, "ssh", true},
        {"Windows without the functions", false, false, "ssh", true},
        {"directory only in the native System32", true, true, "ssh", true,
         "C:\\Windows\\System32\\OpenSSH", "C:\\Windows\\System32\\OpenSSH"},
        {"directory only in SysWOW64: stays", true, true, "ssh", true,
         "C:\\Windows\\System32\\only32", "C:\\app\\bin"},
        /* The trace, and nothing at all for a value of no meaning. */
        {"untraced", false, true, "ssh.exe", true},
        {"another value", false, true, "ssh.exe", true, "..\\work", "C:\\app\\work", "yes"},
        {"an empty value", false, true, "ssh.exe", true, "..\\work", "C:\\app\\work", ""},
        {"traced", false, true, "ssh.exe", true, "..\\work", "C:\\app\\work", "1", ssh_trace},
        {"dry", false, true, "ssh.exe", false, "..\\work", "C:\\app\\work", "dry", ssh_trace},
        {"dry and failing", false, true, "no.exe", false, "..\\nowhere", "", "dry",
         traced({"append to PATH C:\\app\\bin\\..\\lib", "enter ..\\nowhere: " + missing,
                 "stay in C:\\app\\bin", "candidate .\\no.exe: " + missing,
                 "candidate C:\\Windows\\System32\\no.exe: " + missing}) +
             "Exec Failed: No such file or directory\r\n", -1},
        /* A second byte of the value of "\\" before "x" is no backslash. */
        {"traced, a double-byte character before x", false, true, "ssh.exe", true, "\x95\x5Cx\x95",
         "C:\\app\\bin", "1", traced({"append to PATH C:\\app\\bin\\..\\lib", "enter \x95\x5Cx\x95: "
         "No such file or directory (Windows error 3)", "stay in C:\\app\\bin"}) + ssh_found, 0,
         "C:\\Windows\\System32\\ssh.exe", nullptr, 0, 932},
        /* The lowest control character there is shows too, and the line
           goes on after it. */
        {"traced, a directory with U+0001 in its name", false, true, "ssh.exe", true, "..\\a\x01z",
         "C:\\app\\bin", "1", traced({"append to PATH C:\\app\\bin\\..\\lib",
         "enter ..\\a\\x01z: " + missing, "stay in C:\\app\\bin"}) + ssh_found},
        /* The found file by its full path, or as found where it has none. */
        {"a relative command traced", false, true, "tool", true, "..\\work", "C:\\app\\work", "1",
         found_here_trace("C:\\app\\work\\tool.exe"), 0, ".\\tool.exe"},
        {"a relative command traced as found", false, true, "tool", true, "..\\work",
         "C:\\app\\work", "1", found_here_trace(".\\tool.exe"), 0, ".\\tool.exe",
         "GetFullPathNameA"},
        /* Seven lines, the one of the directory in one piece or in two. */
        {"a trace line of 512 bytes", false, true, "ssh.exe", true, far_512.c_str(),
         "C:\\app\\bin", "1", far_trace(512), 0, "C:\\Windows\\System32\\ssh.exe", nullptr, 7},
        {"a trace line of 513 bytes", false, true, "ssh.exe", true, far_513.c_str(),
         "C:\\app\\bin", "1", far_trace(513), 0, "C:\\Windows\\System32\\ssh.exe", nullptr, 8},
    };
    std::vector<std::string> untraced;
    size_t live_after_start = 0;
    for (const view_case &c : cases) {
        SetUp();
        sim::add_file("C:\\Windows\\System32\\ssh.exe");
        sim::add_directory("C:\\Windows\\SysWOW64\\only32");
        sim::add_directory("C:\\Windows\\System32\\OpenSSH");
        sim::add_file("C:\\app\\work\\tool.exe");
        if (c.failing)
            sim::fail_call(c.failing, 1, 0, ERROR_ACCESS_DENIED);
        sim::set_variable("PATH", std::string("C:\\Windows\\System32"));
        sim::world().wow64 = c.wow64;
        sim::world().redirection_functions = c.functions;
        sim::world().acp = c.code_page;
        if (c.trace)
            sim::set_variable("LAUNCHER_TRACE", std::string(c.trace));
        launcher_outcome outcome = run({c.directory, c.command});
        EXPECT_EQ(sim::world().starts.size(), c.started ? 1u : 0u) << c.name;
        EXPECT_EQ(outcome.exited, c.started) << c.name;
        if (c.started) {
            EXPECT_EQ(sim::world().starts[0].application, c.application) << c.name;
            EXPECT_EQ(sim::world().starts[0].current_directory, c.entered) << c.name;
        }
        std::vector<std::string> names = sim::call_names();
        if (!c.trace)
            untraced = names;
        else if (c.output.empty())
            EXPECT_EQ(names, untraced) << c.name;
        else
            EXPECT_EQ(sim::output_of(standard_error) + std::to_string(outcome.status),
                      c.output + std::to_string(c.status)) << c.name;
        if (c.writes) {
            EXPECT_EQ(written_chunks().size(), c.writes) << c.name;
        }
        /* A dry run ends with what the start it stands for would leave. */
        if (c.trace && std::string(c.trace) == "1" && c.started)
            live_after_start = sim::live_allocations();
        if (c.trace && std::string(c.trace) == "dry" && c.status == 0) {
            EXPECT_EQ(sim::live_allocations(), live_after_start) << c.name;
        }
        auto at = [&](const char *name) {
            return std::find(names.begin(), names.end(), name) - names.begin();
        };
        auto reverted = at("Wow64RevertWow64FsRedirection");
        EXPECT_EQ(reverted < (long)names.size(), c.wow64) << c.name;
        EXPECT_FALSE(sim::world().redirection_off) << c.name;
        if (!c.wow64)
            continue;
        EXPECT_LT(at("Wow64DisableWow64FsRedirection"), at("GetFileAttributesA")) << c.name;
        EXPECT_LT(at("Wow64DisableWow64FsRedirection"), at("SetCurrentDirectoryA")) << c.name;
        EXPECT_LT(reverted, at(c.started ? "ExitProcess" : "WriteFile")) << c.name;
        if (c.started) {
            EXPECT_LT(at("CreateProcessA"), reverted) << c.name;
        }
    }
}

} // namespace
