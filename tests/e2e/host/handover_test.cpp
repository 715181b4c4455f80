/*
 * What a started command receives from the launcher: its command line, its
 * current directory, the extended PATH and the drive-directory variable, its
 * standard handles and the handle inheritance block describing them; and
 * which file the launcher picks when several could match.
 */
#include "e2e_support.h"

#include <algorithm>
#include <cstdio>

namespace {

/* Wine gives every process a few variables of its own (its directories,
   user name and locale, and SystemDrive/SystemRoot when missing); Windows
   adds none of them, so they are the only entries a test may not expect. */
bool is_wine_own_variable(const std::string &entry)
{
    return entry.compare(0, 4, "WINE") == 0 || entry.compare(0, 12, "SystemDrive=") == 0 ||
           entry.compare(0, 11, "SystemRoot=") == 0;
}

std::vector<std::string> drop_wine_own_variables(const std::vector<std::string> &environment,
                                                 const std::vector<std::string> &expected)
{
    std::vector<std::string> kept;
    for (const std::string &entry : environment)
        if (!is_wine_own_variable(entry) ||
            std::find(expected.begin(), expected.end(), entry) != expected.end())
            kept.push_back(entry);
    return kept;
}

std::vector<std::string> sorted(std::vector<std::string> entries)
{
    std::sort(entries.begin(), entries.end());
    return entries;
}

launch_result run_and_check_started(const scratch_tree &tree, const launch &how,
                                    probe_report *report)
{
    launch_result result = run_launcher(tree, how);
    EXPECT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(show_bytes(result.error_output), "");
    EXPECT_TRUE(wait_for_probe(tree, report)) << "the command was not started";
    return result;
}

class handover : public e2e_test {
};

/* The example run: started in bin, a relative working directory, a relative
   command found there, and the environment passed on with exactly two
   changes. */
TEST_F(handover, relative_directory_and_command_get_extended_environment)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    launch how;
    how.command_line = "launcher ..\\work tool -v";
    how.environment = make_environment(tree, "C:\\windows");
    /* Drive-directory entries travel with the rest; the one for Z: is
       replaced by the directory changed into. */
    how.environment.push_back("=C:=C:\\windows");
    how.environment.push_back("=Z:=Z:\\stale");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;

    std::string work = to_wine_path(tree.work);
    EXPECT_EQ(report.module, join_wine(work, "tool.exe"));
    EXPECT_EQ(report.directory, work);
    EXPECT_EQ(show_bytes(report.command_line), "tool -v");

    std::vector<std::string> expected = how.environment;
    expected[0] = "PATH=C:\\windows;" + to_wine_path(tree.bin) + "\\..\\lib";
    expected.back() = "=Z:=" + work;
    EXPECT_EQ(sorted(drop_wine_own_variables(report.environment, expected)), sorted(expected));
}

/* The launcher ends as soon as the command has started: the probe here
   waits for a file that the test creates only after the launcher's exit
   code is in, so a launcher that waited for its command would never end
   first. */
TEST_F(handover, ends_without_waiting_for_command)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    std::string hold = join_unix(tree.root, "hold");
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, "C:\\windows");
    how.environment.push_back("PROBE_HOLD=" + to_wine_path(hold));
    launch_result result = run_launcher(tree, how);
    write_file(hold, "");
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(show_bytes(result.error_output), "");
    probe_report report;
    EXPECT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
}

/* Without any PATH, or with an empty one, the old value counts as empty: the
   new value starts with the separator, and only the working directory is
   searched. */
TEST_F(handover, unset_or_empty_path_counts_as_empty)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    for (bool unset : {true, false}) {
        launch how;
        how.command_line = "launcher ..\\work tool";
        how.environment = make_environment(tree, "");
        if (unset)
            how.environment.erase(how.environment.begin());
        probe_report report;
        run_and_check_started(tree, how, &report);
        if (HasFailure())
            return;
        std::string path;
        ASSERT_TRUE(find_variable(report.environment, "PATH", &path)) << unset;
        EXPECT_EQ(path, ";" + to_wine_path(tree.bin) + "\\..\\lib") << unset;
    }
}

/* A program that exists only as a 64-bit one in System32 (ssh.exe,
   wsl.exe) is found by its absolute path and through PATH, as a 64-bit
   caller finds it, by every build, also from a folder only there: the 32-bit
   ones turn WoW64's redirection off for the directory, search and start. */
TEST_F(handover, program_only_in_native_system32_is_found)
{
    std::string name = place_native_only_program();
    std::string entered = "C:\\windows\\system32\\" + name, native = entered + ".exe";
    const std::string starts[][2] = {{"..\\work", native}, {"..\\work", name}, {entered, name}};
    for (const auto &[directory, command] : starts) {
        launch how;
        how.command_line = "launcher " + directory + " " + command;
        how.environment = make_environment(tree, "C:\\windows\\system32;C:\\windows");
        probe_report report;
        run_and_check_started(tree, how, &report);
        if (HasFailure())
            return;
        EXPECT_EQ(report.module, native) << command;
        EXPECT_EQ(report.directory, directory == entered ? entered : to_wine_path(tree.work));
    }
}

/* A working directory that does not exist leaves the launcher in its start
   directory, silently, and the command is looked up there. */
TEST_F(handover, missing_directory_keeps_start_directory)
{
    copy_probe(join_unix(tree.bin, "tool.exe"));
    launch how;
    how.command_line = "launcher ..\\missing tool";
    how.environment = make_environment(tree, "C:\\windows");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_EQ(report.directory, to_wine_path(tree.bin));
    EXPECT_EQ(report.module, join_wine(to_wine_path(tree.bin), "tool.exe"));
}

/* A drive root as start directory keeps its own backslash: nothing is
   normalised in the library entry. */
TEST_F(handover, drive_root_start_directory_gives_double_backslash)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    launch how;
    how.command_line = "launcher " + to_wine_path(tree.work) + " tool";
    how.directory = "Z:\\";
    how.environment = make_environment(tree, "C:\\windows");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    std::string path;
    ASSERT_TRUE(find_variable(report.environment, "PATH", &path));
    EXPECT_EQ(path, "C:\\windows;Z:\\\\..\\lib");
    EXPECT_EQ(report.directory, to_wine_path(tree.work));
}

std::string lower_case(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

/* The drive-directory variable is named with the upper-case letter, whatever
   case the directory was given in, and holds the directory as the platform
   reports it. */
TEST_F(handover, lower_case_drive_names_upper_case_variable)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    launch how;
    how.command_line = "launcher z" + to_wine_path(tree.work).substr(1) + " tool";
    how.environment = make_environment(tree, "C:\\windows");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    std::string value;
    EXPECT_FALSE(find_variable(report.environment, "=z:", &value));
    ASSERT_TRUE(find_variable(report.environment, "=Z:", &value));
    EXPECT_EQ(value, report.directory);
    EXPECT_EQ(lower_case(value), lower_case(to_wine_path(tree.work)));
}

/* Wine takes a device name for a directory and reports it back as the
   current directory.  Only a directory on a drive has a drive variable:
   "NUL" would set "=N:", and "COM1" would overwrite "=C:". */
TEST_F(handover, device_name_as_directory_sets_no_drive_variable)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    for (const char *device : {"NUL", "COM1"}) {
        launch how;
        how.command_line = std::string("launcher ") + device + " " +
                           join_wine(to_wine_path(tree.work), "tool.exe");
        how.environment = make_environment(tree, "C:\\windows");
        how.environment.push_back("=C:=C:\\windows");
        probe_report report;
        run_and_check_started(tree, how, &report);
        if (HasFailure())
            return;
        std::string value;
        EXPECT_FALSE(find_variable(report.environment, "=N:", &value)) << device;
        ASSERT_TRUE(find_variable(report.environment, "=C:", &value)) << device;
        EXPECT_EQ(value, "C:\\windows") << device;
    }
}

/* A quoted working directory may hold blanks. */
TEST_F(handover, quoted_directory_with_blanks)
{
    std::string spaced = join_unix(tree.app, "my  work");
    make_directory(spaced);
    copy_probe(join_unix(spaced, "tool.exe"));
    launch how;
    how.command_line = "launcher \"..\\my  work\" tool x";
    how.environment = make_environment(tree, "C:\\windows");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_EQ(report.directory, to_wine_path(spaced));
    EXPECT_EQ(report.command_line, "tool x");
}

struct standard_handle_case {
    const char *name;
    const char *stderr_kind;
    unsigned stderr_flags;    /* slot 2 as the launcher describes it */
    int show_window = -1;     /* the caller's, which all but launcher.exe pass on */
};

/* Standard input and output are the NUL device, a character device: open,
   device and text (0xc1).  Standard error adds pipe (0x08) on a pipe,
   nothing on a file, device with no handle at all. */
const standard_handle_case standard_handle_cases[] = {
    {"stderr_on_pipe", "pipe", 0x89},
    {"stderr_on_file", "file", 0x81},
    {"stderr_missing", "none", 0xc1},
    {"minimized_caller", "pipe", 0x89, 7 /* SW_SHOWMINNOACTIVE */},
    {"maximized_caller", "pipe", 0x89, 3 /* SW_SHOWMAXIMIZED */},
};

void PrintTo(const standard_handle_case &c, std::ostream *out)
{
    *out << c.name;
}

class standard_handles : public e2e_test,
                         public ::testing::WithParamInterface<standard_handle_case> {
};

TEST_P(standard_handles, are_described_in_block)
{
    const standard_handle_case &c = GetParam();
    copy_probe(join_unix(tree.work, "tool.exe"));
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, "C:\\windows");
    how.stderr_kind = c.stderr_kind;
    how.show_window = c.show_window;
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_EQ(report.show_window, launcher_name() == "launcher.exe" ? -1 : c.show_window);

    ASSERT_EQ(report.reserved_size, 19u);
    handle_block block = parse_block(report.reserved);
    ASSERT_EQ(block.count, 3);
    ASSERT_EQ(block.flags.size(), 3u);
    EXPECT_EQ(block.flags[0], 0xc1u);
    EXPECT_EQ(block.flags[1], 0xc1u);
    EXPECT_EQ(block.flags[2], c.stderr_flags);
    /* The started command inherits the very handles the block names. */
    ASSERT_EQ(report.std_handles.size(), 3u);
    EXPECT_EQ(block.handles[0], report.std_handles[0]);
    EXPECT_EQ(block.handles[1], report.std_handles[1]);
    if (std::string(c.stderr_kind) == "none") {
        EXPECT_EQ(block.handles[2], 0xffffffffu);
    } else {
        EXPECT_EQ(block.handles[2], report.std_handles[2]);
        EXPECT_EQ(report.block_types, report.std_types);
    }
}

INSTANTIATE_TEST_SUITE_P(cases, standard_handles, ::testing::ValuesIn(standard_handle_cases),
                         [](const ::testing::TestParamInfo<standard_handle_case> &info) {
                             return std::string(info.param.name);
                         });

struct joining_case {
    const char *name;
    const char *command_line;  /* the launcher's own */
    const char *expected;      /* the command's */
};

/* The launcher splits its command line by the Windows rules, then joins
   the command's arguments with single spaces and never quotes. */
const joining_case joining_cases[] = {
    {"command_alone", "launcher ..\\work tool", "tool"},
    {"plain_arguments", "launcher ..\\work tool a b", "tool a b"},
    {"spaced_and_empty_arguments", "launcher ..\\work tool \"x y\" \"\" b", "tool x y  b"},
    {"one_empty_argument_adds_nothing", "launcher ..\\work tool \"\"", "tool"},
    {"two_empty_arguments", "launcher ..\\work tool \"\" \"\"", "tool  "},
    {"empty_argument_last", "launcher ..\\work tool a \"\"", "tool a "},
    {"escaped_quote", "launcher ..\\work tool a\\\"b", "tool a\"b"},
    {"doubled_quote_inside_quotes", "launcher ..\\work tool \"a\"\"b c\"", "tool a\"b c"},
    {"backslash_pair_before_quote", "launcher ..\\work tool a\\\\\"b c\"", "tool a\\b c"},
    {"backslashes_not_before_quote", "launcher ..\\work tool a\\\\b", "tool a\\\\b"},
    {"quote_mode_spans_parts", "launcher ..\\work tool a\"b c\"d", "tool ab cd"},
    {"open_quote_to_end", "launcher ..\\work tool \"open end", "tool open end"},
    {"runs_of_blanks", "launcher\t..\\work  tool\t\ta \t b  ", "tool a b"},
    {"tab_inside_quotes", "launcher ..\\work tool \"tab\there\"", "tool tab\there"},
    {"quoted_directory", "launcher \"..\\work\" tool x", "tool x"},
    {"quoted_program_name_needs_no_blank", "\"launcher\"..\\work tool x", "tool x"},
    {"program_name_with_spaces", "\"Z:\\no such\\launcher.exe\" ..\\work tool x", "tool x"},
};

void PrintTo(const joining_case &c, std::ostream *out)
{
    *out << c.name;
}

class joining : public e2e_test, public ::testing::WithParamInterface<joining_case> {
};

TEST_P(joining, gives_command_exact_command_line)
{
    const joining_case &c = GetParam();
    copy_probe(join_unix(tree.work, "tool.exe"));
    launch how;
    how.command_line = c.command_line;
    how.environment = make_environment(tree, "C:\\windows");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_EQ(show_bytes(report.command_line), show_bytes(c.expected));
}

INSTANTIATE_TEST_SUITE_P(cases, joining, ::testing::ValuesIn(joining_cases),
                         [](const ::testing::TestParamInfo<joining_case> &info) {
                             return std::string(info.param.name);
                         });

struct search_case {
    const char *name;
    std::vector<std::string> programs; /* probe copies, relative to app/ */
    std::vector<std::string> path;     /* PATH entries, relative to app/ */
    const char *path_name;
    const char *command;
    const char *expected;              /* the copy that runs, relative to app/ */
};

/* Which candidate wins: the working directory before PATH, PATH in order,
   and within one place .com, .exe, .bat, .cmd in that order. */
const search_case search_cases[] = {
    {"com_before_exe", {"work/tool.com", "work/tool.exe"}, {}, "PATH", "tool", "work/tool.com"},
    {"exe_before_bat_and_cmd", {"work/tool.cmd", "work/tool.bat", "work/tool.exe"}, {}, "PATH",
     "tool", "work/tool.exe"},
    {"working_directory_before_path", {"work/tool.exe", "p1/tool.com"}, {"p1"}, "PATH", "tool",
     "work/tool.exe"},
    {"path_entries_in_order", {"p1/tool.exe", "p2/tool.com"}, {"p1", "p2"}, "PATH", "tool",
     "p1/tool.exe"},
    {"missing_entry_skipped", {"p2/tool.exe"}, {"missing", "p2"}, "PATH", "tool", "p2/tool.exe"},
    {"entry_ending_in_separator", {"p2/tool.exe"}, {"p2\\"}, "PATH", "tool", "p2/tool.exe"},
    {"path_named_in_other_case", {"p1/tool.exe"}, {"p1"}, "Path", "tool", "p1/tool.exe"},
    {"explicit_extension_searched_in_path", {"p1/tool.com", "p1/tool.exe"}, {"p1"}, "PATH",
     "tool.exe", "p1/tool.exe"},
    {"relative_name_with_directory", {"work/sub/tool.exe", "p1/sub/tool.com"}, {"p1"}, "PATH",
     "sub\\tool", "work/sub/tool.exe"},
    {"forward_slash_name", {"work/sub/tool.exe", "p1/sub/tool.com"}, {"p1"}, "PATH", "sub/tool",
     "work/sub/tool.exe"},
    {"drive_relative_name", {"work/tool.exe"}, {}, "PATH", "Z:tool", "work/tool.exe"},
    /* Entries no file name can be made of are passed over like missing
       ones: a quoted entry, as real machines have, and one with a wildcard
       or a tab.  Each fails its lookups with ERROR_INVALID_NAME (123). */
    {"quoted_entry_passed_over", {"p1/tool.exe", "p2/tool.exe"}, {"\"p1\"", "p2"}, "PATH",
     "tool", "p2/tool.exe"},
    {"wildcard_entry_passed_over", {"p2/tool.exe"}, {"p*", "p2"}, "PATH", "tool", "p2/tool.exe"},
    {"tab_in_entry_passed_over", {"p2/tool.exe"}, {"p\t1", "p2"}, "PATH", "tool", "p2/tool.exe"},
};

/* Entries are Windows paths under app\, blank stays blank, and a quoted
   entry is quoted around the whole path. */
std::string build_path(const scratch_tree &tree, const std::vector<std::string> &entries)
{
    std::string path;
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string &entry = entries[i];
        bool quoted = entry.size() > 1 && entry[0] == '"';
        std::string inner = quoted ? entry.substr(1, entry.size() - 2) : entry;
        std::string full = to_wine_path(join_unix(tree.app, inner));
        path += (i ? ";" : "") + (quoted ? "\"" + full + "\"" : full);
    }
    return path;
}

void PrintTo(const search_case &c, std::ostream *out)
{
    *out << c.name;
}

class search_order : public e2e_test, public ::testing::WithParamInterface<search_case> {
};

TEST_P(search_order, starts_first_match)
{
    const search_case &c = GetParam();
    for (const std::string &program : c.programs) {
        std::string path = join_unix(tree.app, program);
        make_directory(path.substr(0, path.rfind('/')));
        copy_probe(path);
    }
    launch how;
    how.command_line = std::string("launcher ..\\work ") + c.command;
    how.environment = make_environment(tree, build_path(tree, c.path));
    how.environment[0].replace(0, 4, c.path_name);
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_EQ(report.module, to_wine_path(join_unix(tree.app, c.expected)));
    EXPECT_EQ(show_bytes(report.command_line), show_bytes(c.command));
}

INSTANTIATE_TEST_SUITE_P(cases, search_order, ::testing::ValuesIn(search_cases),
                         [](const ::testing::TestParamInfo<search_case> &info) {
                             return std::string(info.param.name);
                         });

/* A .bat in the first PATH directory wins over an .exe in the second, and
   runs through the command interpreter: the batch file starts another copy
   of the probe with a mark, so the report shows that the batch file ran. */
TEST_F(handover, batch_file_in_first_path_directory_before_exe_in_second)
{
    make_directory(join_unix(tree.app, "p1"));
    make_directory(join_unix(tree.app, "p2"));
    copy_probe(join_unix(tree.app, "batch_probe.exe"));
    copy_probe(join_unix(tree.app, "p2/tool.exe"));
    std::string batch_probe = to_wine_path(join_unix(tree.app, "batch_probe.exe"));
    write_file(join_unix(tree.app, "p1/tool.bat"), "@\"" + batch_probe + "\" from_batch %*\r\n");

    launch how;
    how.command_line = "launcher ..\\work tool a b";
    how.environment = make_environment(tree, build_path(tree, {"p1", "p2"}));
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_EQ(report.module, batch_probe);
    std::string mark = "from_batch a b";
    ASSERT_GE(report.command_line.size(), mark.size()) << show_bytes(report.command_line);
    EXPECT_EQ(report.command_line.substr(report.command_line.size() - mark.size()), mark)
        << show_bytes(report.command_line);
    EXPECT_EQ(report.directory, to_wine_path(tree.work));
}


struct entry_length_case {
    const char *name;
    size_t length;   /* of the first PATH entry, which does not exist */
    bool found;      /* whether the second entry is still searched */
};

/* With the four-character name "tool", an entry of 254 characters plus a
   separator and the name makes 259 and is tried (its candidates are simply
   too long to exist), so the walk goes on; at 255 the length rule ends the
   walk before the next entry.  An entry of 300 is cut to 258 and ends it
   too. */
const entry_length_case entry_length_cases[] = {
    {"entry_of_254_is_tried", 254, true},
    {"entry_of_255_ends_walk", 255, false},
    {"entry_of_300_ends_walk", 300, false},
};

void PrintTo(const entry_length_case &c, std::ostream *out)
{
    *out << c.name;
}

class path_entry_length : public e2e_test,
                          public ::testing::WithParamInterface<entry_length_case> {
};

TEST_P(path_entry_length, decides_whether_walk_goes_on)
{
    const entry_length_case &c = GetParam();
    std::string p2 = join_unix(tree.app, "p2");
    make_directory(p2);
    copy_probe(join_unix(p2, "tool.exe"));
    std::string long_entry = "Z:\\" + std::string(c.length - 3, 'x');
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, long_entry + ";" + to_wine_path(p2));
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    if (!c.found) {
        EXPECT_EQ(result.exit_code, EXIT_FAILED);
        EXPECT_EQ(show_bytes(result.error_output),
                  show_bytes("Exec Failed: No such file or directory\r\n"));
        return;
    }
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(show_bytes(result.error_output), "");
    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
    EXPECT_EQ(report.module, join_wine(to_wine_path(p2), "tool.exe"));
}

INSTANTIATE_TEST_SUITE_P(cases, path_entry_length, ::testing::ValuesIn(entry_length_cases),
                         [](const ::testing::TestParamInfo<entry_length_case> &info) {
                             return std::string(info.param.name);
                         });

/* Within one directory a .bat comes before a .cmd; each runs a copy of the
   probe with its own mark. */
TEST_F(handover, bat_before_cmd_in_one_directory)
{
    copy_probe(join_unix(tree.app, "batch_probe.exe"));
    std::string batch_probe = to_wine_path(join_unix(tree.app, "batch_probe.exe"));
    write_file(join_unix(tree.work, "tool.bat"), "@\"" + batch_probe + "\" from_bat\r\n");
    write_file(join_unix(tree.work, "tool.cmd"), "@\"" + batch_probe + "\" from_cmd\r\n");
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, "C:\\windows");
    probe_report report;
    run_and_check_started(tree, how, &report);
    if (HasFailure())
        return;
    EXPECT_NE(report.command_line.find("from_bat"), std::string::npos)
        << show_bytes(report.command_line);
}

} // namespace
