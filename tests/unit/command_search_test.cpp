/* Finding the command: candidates, their order, and every way the search
   gives up. */
#include "tests/unit/fixture.h"

#include "exec/exec.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/lead_bytes.h"

#include <optional>

namespace {

using strings = std::vector<std::string>;

struct search_outcome {
    bool started;
    int result;
};

class command_search_test : public launcher_test {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::add_directory("C:\\work");
        sim::add_directory("C:\\a");
        sim::add_directory("C:\\b");
        sim::world().current_directory = "C:\\work";
    }

    /* Builds the runtime with the given PATH and searches for the name. */
    search_outcome search(const std::optional<std::string> &path, const std::string &name,
                          strings arguments = {})
    {
        sim::set_variable("PATH", path);
        start_runtime();
        sim::world().calls.clear();
        return search_again(name, arguments);
    }

    search_outcome search_again(const std::string &name, strings arguments = {})
    {
        arguments.insert(arguments.begin(), name);
        exact_texts exact = make_exact_texts(arguments);
        try {
            command_words words = {exact.vector[0], exact.vector.data() + 1};
            command_search search = make_search(words);
            int result = finish_if_started(path_only ? exec_search_path_only(words.name, &search)
                                                     : exec_search_path(words.name, &search),
                                           &search);
            return {false, result};
        } catch (const sim::exit_signal &end) {
            EXPECT_EQ(end.code, 0u);
            return {true, 0};
        }
    }

    bool path_only = false; /* a named launcher's search, through PATH alone */

    std::string started_application()
    {
        return sim::world().starts.empty() ? "" : sim::world().starts.back().application.value_or("(null)");
    }
};

strings with_extensions(const std::string &base)
{
    return {base + ".com", base + ".exe", base + ".bat", base + ".cmd"};
}

strings join(std::initializer_list<strings> parts)
{
    strings all;
    for (const strings &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(command_search_test, a_missing_bare_name_is_tried_here_then_in_every_path_directory)
{
    search_outcome outcome = search(std::string("C:\\a;C:\\b"), "tool");
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(error_number, NO_SUCH_FILE);
    EXPECT_EQ(probed_paths(), join({with_extensions(".\\tool"), with_extensions("C:\\a\\tool"),
                                    with_extensions("C:\\b\\tool")}));
    EXPECT_TRUE(sim::world().starts.empty());
}

struct winner_case {
    const char *name;
    strings files;
    std::string started;
};

TEST_F(command_search_test, the_first_existing_candidate_is_started)
{
    const winner_case cases[] = {
        {".com before .exe", {"C:\\work\\tool.com", "C:\\work\\tool.exe"}, ".\\tool.com"},
        {".exe before .bat", {"C:\\work\\tool.bat", "C:\\work\\tool.exe"}, ".\\tool.exe"},
        {".bat before .cmd", {"C:\\work\\tool.cmd", "C:\\work\\tool.bat"}, ".\\tool.bat"},
        {"working directory before PATH", {"C:\\a\\tool.com", "C:\\work\\tool.exe"}, ".\\tool.exe"},
        {"directory order before extension order", {"C:\\b\\tool.exe", "C:\\a\\tool.bat"}, "C:\\a\\tool.bat"},
        {"a file without extension is never matched", {"C:\\work\\tool", "C:\\b\\tool.cmd"}, "C:\\b\\tool.cmd"},
        {"read-only files pass", {"C:\\b\\tool.exe"}, "C:\\b\\tool.exe"},
    };
    for (const winner_case &c : cases) {
        SetUp();
        for (const std::string &file : c.files)
            sim::add_file(file, FILE_ATTRIBUTE_READONLY);
        search_outcome outcome = search(std::string("C:\\a;C:\\b"), "tool", {"-x"});
        EXPECT_TRUE(outcome.started) << c.name;
        EXPECT_EQ(started_application(), c.started) << c.name;
        ASSERT_EQ(sim::world().starts.size(), 1u) << c.name;
        /* The command line begins with the name as typed, not as found. */
        EXPECT_EQ(sim::world().starts[0].command_line, std::string("tool -x")) << c.name;
    }
}

struct probe_case {
    const char *name;
    std::string command;
    strings probes;
};

TEST_F(command_search_test, names_with_extensions_or_directories_probe_only_themselves)
{
    const probe_case cases[] = {
        {"extension that exists nowhere", "tool.exe", {".\\tool.exe", "C:\\a\\tool.exe", "C:\\b\\tool.exe"}},
        {"dotted tool name", "my.tool", {".\\my.tool", "C:\\a\\my.tool", "C:\\b\\my.tool"}},
        {"trailing dot counts as extension", "tool.", {".\\tool.", "C:\\a\\tool.", "C:\\b\\tool."}},
        {"dot only in a directory part", "sub.d\\tool", with_extensions("sub.d\\tool")},
        {"forward slash", "sub/tool", with_extensions("sub/tool")},
        {"drive without directory", "D:tool", with_extensions("D:tool")},
        {"absolute path", "C:\\x\\tool.exe", {"C:\\x\\tool.exe"}},
        {"empty name", "", join({with_extensions(".\\"), with_extensions("C:\\a\\"), with_extensions("C:\\b\\")})},
    };
    for (const probe_case &c : cases) {
        SetUp();
        search_outcome outcome = search(std::string("C:\\a;C:\\b"), c.command);
        EXPECT_EQ(outcome.result, -1) << c.name;
        EXPECT_EQ(error_number, NO_SUCH_FILE) << c.name;
        EXPECT_EQ(probed_paths(), c.probes) << c.name;
    }
}

TEST_F(command_search_test, a_dotted_name_does_not_find_the_name_with_exe_added)
{
    sim::add_file("C:\\work\\my.tool.exe");
    EXPECT_EQ(search(std::string("C:\\a"), "my.tool").result, -1);
}

struct entry_case {
    const char *name;
    std::string path;
    strings candidates;
    bool path_only = false;
};

TEST_F(command_search_test, path_entries_are_used_verbatim_with_one_separator)
{
    const entry_case cases[] = {
        {"trailing backslash", "C:\\a\\", {"C:\\a\\t.exe"}},
        {"trailing slash", "C:\\a/", {"C:\\a/t.exe"}},
        {"drive letter", "D:", {"D:\\t.exe"}},
        {"empty value", "", {"\\t.exe"}},
        {"empty entries", ";C:\\a;;", {"\\t.exe", "C:\\a\\t.exe", "\\t.exe", "\\t.exe"}},
        {"quotes and blanks kept", "\"C:\\a\"; C:\\b ", {"\"C:\\a\"\\t.exe", " C:\\b \\t.exe"}},
        {"relative entry", "..\\a", {"..\\a\\t.exe"}},
        /* Through PATH alone: absolute entries only, past an overlong one. */
        {"absolute entries alone", ";.;a;..\\a;C:a;\\a;C:\\" + std::string(256, 'l') +
         ";C:\\a;\\\\s\\x;C:/b", {"C:\\a\\t.exe", "\\\\s\\x\\t.exe", "C:/b\\t.exe"}, true},
        /* An empty entry is judged by itself, never by the one before it. */
        {"an empty entry after an absolute one", "C:\\a;;C:\\b", {"C:\\a\\t.exe", "C:\\b\\t.exe"},
         true},
    };
    for (const entry_case &c : cases) {
        SetUp();
        path_only = c.path_only;
        search(c.path, "t.exe");
        strings expected = c.path_only ? strings{} : strings{".\\t.exe"};
        expected.insert(expected.end(), c.candidates.begin(), c.candidates.end());
        EXPECT_EQ(probed_paths(), expected) << c.name;
    }
}

TEST_F(command_search_test, path_is_the_one_the_launcher_started_with)
{
    sim::set_variable("Path", std::string("C:\\a"));
    start_runtime();
    sim::set_variable("Path", std::string("C:\\b")); /* a change after start-up */
    sim::world().calls.clear();
    search_again("t.exe");
    EXPECT_EQ(probed_paths(), (strings{".\\t.exe", "C:\\a\\t.exe"}));
    /* Names are compared by the platform, ignoring case, over the name's
       length, under the comparison locale. */
    std::vector<sim::call> compares = sim::calls_named("CompareStringA");
    ASSERT_FALSE(compares.empty());
    EXPECT_EQ(compares[0].args, (std::vector<uint64_t>{0, NORM_IGNORECASE, 4, 4}));
    EXPECT_EQ(compares[0].text, "Path|PATH");
}

TEST_F(command_search_test, without_path_only_the_working_directory_is_tried)
{
    search(std::nullopt, "tool");
    EXPECT_EQ(probed_paths(), with_extensions(".\\tool"));
    EXPECT_EQ(error_number, NO_SUCH_FILE);
}

struct failed_entry_case {
    const char *name;
    std::string entry;     /* the first PATH entry; the command is in C:\b */
    DWORD error;           /* what its lookups fail with, when the file system has no say */
    bool walk_goes_on;
};

/* A network share may refuse one lookup and still be reachable, and an
   entry the file system cannot take as a name holds no command: the walk
   passes over both.  Any other failure ends it. */
TEST_F(command_search_test, failing_entries_end_the_walk_unless_shared_or_malformed)
{
    const failed_entry_case cases[] = {
        {"network share refusing access", "\\\\server\\share", ERROR_ACCESS_DENIED, true},
        {"ordinary directory refusing access", "C:\\locked", ERROR_ACCESS_DENIED, false},
        {"root-relative entry refusing access", "\\locked", ERROR_ACCESS_DENIED, false},
        {"quoted entry", "\"C:\\Program Files\\x\"", 0, true},
        {"entry with a wildcard", "C:\\a*", 0, true},
        {"entry with a tab", "C:\\a\tb", 0, true},
        {"entry with an angle bracket", "C:\\<a>", 0, true},
    };
    for (const failed_entry_case &c : cases) {
        SetUp();
        if (c.error)
            sim::world().access_errors[sim::key_of(c.entry)] = c.error;
        sim::add_file("C:\\b\\tool.exe");
        search_outcome outcome = search(c.entry + ";C:\\b", "tool");
        EXPECT_EQ(outcome.started, c.walk_goes_on) << c.name;
        if (c.walk_goes_on) {
            EXPECT_EQ(started_application(), "C:\\b\\tool.exe") << c.name;
        } else {
            EXPECT_EQ(error_number, PERMISSION_DENIED) << c.name;
            EXPECT_EQ(probed_paths(),
                      join({with_extensions(".\\tool"), with_extensions(c.entry + "\\tool")}))
                << c.name;
        }
    }
}

/* Passed over like a missing entry, a malformed last entry leaves "not
   found", not the invalid-name error of its own lookups. */
TEST_F(command_search_test, a_command_found_nowhere_past_a_malformed_entry_is_not_found)
{
    search_outcome outcome = search(std::string("C:\\a;\"C:\\b\""), "tool");
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(error_number, NO_SUCH_FILE);
    EXPECT_EQ(os_error_code, (DWORD)ERROR_INVALID_NAME);
}

TEST_F(command_search_test, refused_access_in_the_working_directory_allows_no_path_search)
{
    sim::world().access_errors[sim::key_of("C:\\work\\tool.cmd")] = ERROR_ACCESS_DENIED;
    sim::add_file("C:\\a\\tool.exe");
    search(std::string("C:\\a"), "tool");
    EXPECT_EQ(error_number, PERMISSION_DENIED);
    EXPECT_EQ(probed_paths(), with_extensions(".\\tool"));
}

TEST_F(command_search_test, a_candidate_that_exists_but_fails_to_start_stops_its_extensions)
{
    /* A directory named like a candidate passes the check and fails to start. */
    sim::add_directory("C:\\work\\tool.com");
    sim::add_file("C:\\work\\tool.exe");
    sim::add_file("C:\\a\\tool.exe");
    search_outcome outcome = search(std::string("C:\\a"), "tool");
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(error_number, PERMISSION_DENIED);
    EXPECT_EQ(probed_paths(), (strings{".\\tool.com"}));

    /* A start that fails with "not found" lets the walk go on. */
    SetUp();
    sim::add_file("C:\\work\\tool.com");
    sim::world().start_errors[sim::key_of("C:\\work\\tool.com")] = ERROR_PATH_NOT_FOUND;
    sim::add_file("C:\\a\\tool.exe");
    EXPECT_TRUE(search(std::string("C:\\a"), "tool").started);
    EXPECT_EQ(started_application(), "C:\\a\\tool.exe");
}

TEST_F(command_search_test, a_file_that_is_no_program_reports_exec_format_error)
{
    sim::add_file("C:\\work\\tool.exe");
    sim::world().start_errors[sim::key_of("C:\\work\\tool.exe")] = ERROR_BAD_EXE_FORMAT;
    sim::add_file("C:\\a\\tool.exe");
    EXPECT_EQ(search(std::string("C:\\a"), "tool").result, -1);
    EXPECT_EQ(error_number, EXEC_FORMAT_ERROR);
    EXPECT_EQ(sim::world().starts.size(), 1u);
}

TEST_F(command_search_test, the_candidate_length_limit_ends_the_walk)
{
    std::string entry_254 = "C:\\" + std::string(251, 'd');
    std::string entry_255 = "C:\\" + std::string(252, 'e');
    search(entry_254 + ";" + entry_255 + ";C:\\a", "t.ex");
    EXPECT_EQ(probed_paths(), (strings{".\\t.ex", entry_254 + "\\t.ex"}));
}

/* A cut entry names a directory that no entry names, a parent of the real
   one: an entry too long to be copied whole ends the walk, even for the
   names short enough to pass the length rule after a cut.  An entry of
   exactly 258 characters is whole. */
TEST_F(command_search_test, an_entry_too_long_to_copy_whole_ends_the_walk)
{
    std::string cut = "C:\\" + std::string(254, 'l') + "\\";
    std::string whole = "C:\\" + std::string(254, 'w') + "\\";
    ASSERT_EQ(cut.size(), 258u);
    for (const std::string &name : {std::string("a"), std::string("")}) {
        SetUp();
        sim::add_file(cut + "a.exe");
        search_outcome outcome = search(cut + "tail;C:\\a", name);
        EXPECT_FALSE(outcome.started) << name;
        EXPECT_EQ(probed_paths(), with_extensions(".\\" + name)) << name;
    }

    SetUp();
    sim::add_file("C:\\a\\a.exe");
    search(whole + ";C:\\a", "a");
    EXPECT_EQ(probed_paths(), join({with_extensions(".\\a"), with_extensions(whole + "a"),
                                    {"C:\\a\\a.com", "C:\\a\\a.exe"}}));
    EXPECT_EQ(started_application(), "C:\\a\\a.exe");

    /* One past: 259 characters, whether or not the last is a separator. */
    const std::string past = "C:\\" + std::string(255, 'p');
    for (const std::string &entry : {past + "\\", past + "q"}) {
        SetUp();
        sim::add_file("C:\\a\\.exe");
        EXPECT_FALSE(search(entry + ";C:\\a", "").started) << entry.back();
        EXPECT_EQ(probed_paths(), with_extensions(".\\")) << entry.back();
    }
}

TEST_F(command_search_test, double_byte_names_and_entries_keep_their_second_bytes)
{
    const std::string table = "\x95\x5c"; /* a character whose second byte is "\" */
    sim::world().acp = 932;
    search(std::string("C:\\") + table + ";C:\\x" + table + "\\", table + "t");
    EXPECT_EQ(probed_paths(), join({with_extensions(".\\" + table + "t"),
                                    with_extensions("C:\\" + table + "\\" + table + "t"),
                                    with_extensions("C:\\x" + table + "\\" + table + "t")}));
}

TEST_F(command_search_test, allocation_failures_give_up_and_release_everything)
{
    for (int failing = 1; failing <= 3; failing++) {
        SetUp();
        sim::set_variable("PATH", std::string("C:\\a"));
        start_runtime();
        size_t live = sim::live_allocations();
        sim::fail_allocation(sim::world().allocations + failing);
        sim::world().calls.clear();
        search_outcome outcome = search_again("tool");
        EXPECT_EQ(outcome.result, -1) << failing;
        EXPECT_EQ(sim::live_allocations(), live) << failing;
        /* Which allocation failed decides how far the search got. */
        size_t probes = probed_paths().size();
        if (failing == 1) {
            EXPECT_EQ(probes, 0u); /* the prefixed name: error number untouched */
            EXPECT_EQ(error_number, 0);
        } else if (failing == 2) {
            EXPECT_EQ(probes, 0u); /* the probing buffer */
        } else {
            EXPECT_EQ(probes, 4u); /* the candidate buffer: error number stays 2 */
            EXPECT_EQ(error_number, NO_SUCH_FILE);
        }
    }
}

/* The searches themselves */

struct find_case {
    std::string text;
    char c;
    int first; /* -1 for none */
    int last;
};

TEST_F(command_search_test, character_searches_step_over_double_byte_characters)
{
    sim::world().acp = 932;
    init_lead_bytes();
    const find_case cases[] = {
        {"a\\b\\c", '\\', 1, 3},
        {"\x95\x5c", '\\', -1, -1},
        {"x\\\x95\x5c", '\\', 1, 1},
        {"\x95\x5c\\", '\\', 2, 2},
        {"abc", '.', -1, -1},
        /* a lead byte before the terminator: none for the first search, and
           the terminator for the last when nothing matched before it */
        {"ab\x81", '\\', -1, 3},
        {"a\\b\x81", '\\', 1, 1},
        {"", '\\', -1, -1},
    };
    for (const find_case &c : cases) {
        const char *first = mb_find_char(c.text.c_str(), c.c);
        const char *last = mb_find_last_char(c.text.c_str(), c.c);
        EXPECT_EQ(first ? (int)(first - c.text.c_str()) : -1, c.first) << c.text;
        EXPECT_EQ(last ? (int)(last - c.text.c_str()) : -1, c.last) << c.text;
    }
}

struct variable_case {
    const char *name;
    strings environment;
    std::optional<std::string> value;
};

TEST_F(command_search_test, snapshot_variables_match_on_the_whole_name)
{
    const variable_case cases[] = {
        {"exact", {"PATH=x"}, std::string("x")},
        {"other case", {"path=y"}, std::string("y")},
        {"first match wins", {"Path=1", "PATH=2"}, std::string("1")},
        {"empty value", {"PATH="}, std::string("")},
        {"longer name", {"PATHEXT=.com"}, std::nullopt},
        {"shorter name", {"PAT=z"}, std::nullopt},
        {"name without value", {"PATH"}, std::nullopt},
    };
    for (const variable_case &c : cases) {
        SetUp();
        sim::world().environment.assign(c.environment.begin(), c.environment.end());
        start_runtime();
        const char *value = get_snapshot_variable("PATH");
        EXPECT_EQ(value ? std::optional<std::string>(value) : std::nullopt, c.value) << c.name;
    }
}

TEST_F(command_search_test, names_compare_wide_where_byte_comparison_is_missing)
{
    sim::world().environment = {"pAtH=w"};
    sim::world().acp = 936;
    start_runtime();
    sim::world().compare_a_missing = true;
    size_t live = sim::live_allocations();
    const char *value = get_snapshot_variable("PATH");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "w");
    std::vector<sim::call> wide = sim::calls_named("CompareStringW");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].args, (std::vector<uint64_t>{2052, NORM_IGNORECASE, 4, 4}));
    EXPECT_EQ(sim::live_allocations(), live);

    /* A comparison that fails for another reason is a mismatch. */
    sim::world().compare_a_missing = false;
    sim::fail_call("CompareStringA", 0, 0, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(get_snapshot_variable("PATH"), nullptr);
}

} // namespace
