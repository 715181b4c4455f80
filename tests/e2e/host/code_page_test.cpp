/*
 * Code page 932, where the second byte of a double-byte character may have
 * the value of "\" (0x5C): U+8868 is 0x95 0x5C.  Wine runs under
 * ja_JP.UTF-8 here, which makes its ANSI code page 932; the command lines
 * and environments are given as cp932 bytes, what CreateProcessA takes, and
 * Wine maps the names to UTF-8 on the Unix side.
 */
#include "e2e_support.h"

namespace {

class code_page_932 : public e2e_test {
protected:
    /* app/<U+8868>: one name, seen from either side. */
    std::string make_hyo_directory()
    {
        std::string directory = join_unix(tree.app, hyo_utf8);
        make_directory(directory);
        return directory;
    }
    std::string hyo_wine_path() const
    {
        return join_wine(to_wine_path(tree.app), hyo_cp932);
    }
    launch make_launch(const std::string &command_line, const std::string &path) const
    {
        launch how;
        how.command_line = command_line;
        how.environment = make_environment(tree, path);
        how.code_page_932 = true;
        return how;
    }
    /* Runs, expects a hand-over, and checks that both ends ran in 932. */
    bool run_to_probe(const launch &how, probe_report *report)
    {
        launch_result result = run_launcher(tree, how);
        EXPECT_TRUE(result.ran) << result.failure;
        EXPECT_EQ(result.acp, 932u) << "Wine did not take code page 932 from ja_JP.UTF-8";
        EXPECT_EQ(show_bytes(result.error_output), "");
        EXPECT_EQ(result.exit_code, 0u);
        if (HasFailure())
            return false;
        EXPECT_TRUE(wait_for_probe(tree, report)) << "the command was not started";
        EXPECT_EQ(report->acp, 932u);
        return !HasFailure();
    }
};

/* The quote right after 0x95 0x5C closes the argument: the 0x5C is not a
   backslash that would make the quote literal. */
TEST_F(code_page_932, quoted_directory_ending_in_trail_byte_5c)
{
    copy_probe(join_unix(make_hyo_directory(), "tool.exe"));
    std::string command_line = std::string("launcher \"..\\") + hyo_cp932 + "\" tool";
    probe_report report;
    if (!run_to_probe(make_launch(command_line, "C:\\windows"), &report))
        return;
    EXPECT_EQ(show_bytes(report.directory), show_bytes(hyo_wine_path()));
    EXPECT_EQ(show_bytes(report.module), show_bytes(join_wine(hyo_wine_path(), "tool.exe")));
    std::string drive_directory;
    ASSERT_TRUE(find_variable(report.environment, "=Z:", &drive_directory));
    EXPECT_EQ(show_bytes(drive_directory), show_bytes(hyo_wine_path()));
}

/* A PATH entry whose last byte is such a 0x5C still gets a separator of its
   own before the command name. */
TEST_F(code_page_932, path_entry_ending_in_trail_byte_5c)
{
    copy_probe(join_unix(make_hyo_directory(), "tool.exe"));
    probe_report report;
    if (!run_to_probe(make_launch("launcher ..\\work tool", hyo_wine_path()), &report))
        return;
    EXPECT_EQ(show_bytes(report.module), show_bytes(join_wine(hyo_wine_path(), "tool.exe")));
    EXPECT_EQ(show_bytes(report.directory), show_bytes(to_wine_path(tree.work)));
}

/* A name holding 0x95 0x5C holds no separator: it is bare, so it is looked
   for through PATH. */
TEST_F(code_page_932, bare_name_holding_trail_byte_5c_searches_path)
{
    std::string p1 = join_unix(tree.app, "p1");
    make_directory(p1);
    copy_probe(join_unix(p1, std::string(hyo_utf8) + ".exe"));
    std::string command_line = std::string("launcher ..\\work ") + hyo_cp932;
    probe_report report;
    if (!run_to_probe(make_launch(command_line, to_wine_path(p1)), &report))
        return;
    EXPECT_EQ(show_bytes(report.module),
              show_bytes(join_wine(to_wine_path(p1), std::string(hyo_cp932) + ".exe")));
    EXPECT_EQ(show_bytes(report.command_line), show_bytes(hyo_cp932));
}

/* The PATH variable's name is compared ignoring case under the Japanese
   locale (1041) the launcher picks for code page 932. */
TEST_F(code_page_932, path_named_in_other_case)
{
    std::string p1 = join_unix(tree.app, "p1");
    make_directory(p1);
    copy_probe(join_unix(p1, "tool.exe"));
    launch how = make_launch("launcher ..\\work tool", to_wine_path(p1));
    how.environment[0].replace(0, 4, "pATh");
    probe_report report;
    if (!run_to_probe(how, &report))
        return;
    EXPECT_EQ(report.module, join_wine(to_wine_path(p1), "tool.exe"));
}

/* A path below app/ made of components of double-byte characters whose
   second byte is "\", both as the launcher sees it (cp932 bytes) and as the
   Unix side names it. */
struct double_byte_path {
    std::string wine, unix_path;
};

double_byte_path extend_path(const double_byte_path &base, int characters)
{
    double_byte_path path = base;
    path.wine += "\\";
    path.unix_path += "/";
    for (int i = 0; i < characters; i++) {
        path.wine += hyo_cp932;
        path.unix_path += hyo_utf8;
    }
    return path;
}

/* A directory of double-byte characters takes about twice as many bytes as
   characters: well within the platform's 260 characters, this one is far
   longer than 261 bytes, and the drive variable still names it exactly. */
TEST_F(code_page_932, drive_variable_names_a_directory_longer_than_261_bytes)
{
    double_byte_path directory = {to_wine_path(tree.app), tree.app};
    size_t characters = directory.wine.size();
    for (; characters + 21 < 240; characters += 21)
        directory = extend_path(directory, 20);
    ASSERT_GT(directory.wine.size(), 261u);
    make_directory(directory.unix_path);
    copy_probe(join_unix(directory.unix_path, "tool.exe"));
    probe_report report;
    if (!run_to_probe(make_launch("launcher " + directory.wine + " tool", "C:\\windows"), &report))
        return;
    EXPECT_EQ(show_bytes(report.directory), show_bytes(directory.wine));
    std::string drive_directory;
    ASSERT_TRUE(find_variable(report.environment, "=Z:", &drive_directory));
    EXPECT_EQ(show_bytes(drive_directory), show_bytes(directory.wine));
}

/* An entry is copied whole or not at all.  The first 258 bytes of the long
   entry here end in a separator, so a cut would leave a directory that no
   entry names, a parent of the real one, with room for the one-character
   name: the command there starts only when that directory is itself the
   whole entry. */
TEST_F(code_page_932, an_entry_too_long_to_copy_whole_is_never_cut)
{
    double_byte_path prefix = {to_wine_path(tree.app), tree.app};
    while (prefix.wine.size() + 2 + 41 < 258)
        prefix = extend_path(prefix, 20);
    std::string filler(258 - 2 - prefix.wine.size(), 'x');
    prefix.wine += "\\" + filler + "\\";
    prefix.unix_path += "/" + filler;
    ASSERT_EQ(prefix.wine.size(), 258u);
    make_directory(prefix.unix_path);
    copy_probe(join_unix(prefix.unix_path, "a.exe"));

    for (bool whole : {false, true}) {
        std::string entry = whole ? prefix.wine : prefix.wine + "rest";
        launch how = make_launch("launcher ..\\work a", entry);
        launch_result result = run_launcher(tree, how);
        ASSERT_TRUE(result.ran) << result.failure;
        EXPECT_EQ(result.acp, 932u);
        if (whole) {
            probe_report report;
            EXPECT_EQ(result.exit_code, 0u);
            ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
            EXPECT_EQ(show_bytes(report.module), show_bytes(prefix.wine + "a.exe"));
        } else {
            EXPECT_EQ(result.exit_code, EXIT_FAILED);
            EXPECT_EQ(show_bytes(result.error_output),
                      show_bytes("Exec Failed: No such file or directory\r\n"));
        }
    }
}

struct argument_case {
    const char *name;
    std::string arguments; /* after "launcher ..\work tool " */
    std::string expected;  /* the command's line after "tool " */
};

const std::string hyo = hyo_cp932;

const argument_case argument_cases[] = {
    {"before_closing_quote", "\"a" + hyo + "\" b", "a" + hyo + " b"},
    {"alone_in_quotes", "\"" + hyo + "\" \"x y\"", hyo + " x y"},
    {"before_opening_quote", hyo + "\"x y\" z", hyo + "x y z"},
};

void PrintTo(const argument_case &c, std::ostream *out)
{
    *out << c.name;
}

class code_page_932_arguments : public code_page_932,
                                public ::testing::WithParamInterface<argument_case> {
};

TEST_P(code_page_932_arguments, split_without_taking_trail_byte_for_backslash)
{
    const argument_case &c = GetParam();
    copy_probe(join_unix(tree.work, "tool.exe"));
    probe_report report;
    if (!run_to_probe(make_launch("launcher ..\\work tool " + c.arguments, "C:\\windows"),
                      &report))
        return;
    EXPECT_EQ(show_bytes(report.command_line), show_bytes("tool " + c.expected));
}

INSTANTIATE_TEST_SUITE_P(cases, code_page_932_arguments, ::testing::ValuesIn(argument_cases),
                         [](const ::testing::TestParamInfo<argument_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
