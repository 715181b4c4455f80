/*
 * Characters outside the ANSI code page.  The runner starts the launcher
 * with CreateProcessW, and the probe reports the wide forms of what it
 * received, so every string here is UTF-8 on both sides.
 *
 * With the opt-in manifest beside it the launcher's ANSI code page is UTF-8
 * and every path and argument passes exactly, under a Western or a Japanese
 * locale alike.  Without it, such characters cannot pass through the ANSI
 * calls, but the launcher never turns them into look-alikes, and the PATH it
 * passes on is the one it received, exactly.
 */
#include "e2e_support.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

/* Cyrillic, CJK and a character outside the Basic Multilingual Plane,
   which takes four bytes in UTF-8 and two units in UTF-16. */
const std::string cyrillic = "\xd0\x90\xd0\xbd\xd0\xb4\xd1\x80\xd0\xb5\xd0\xb9";
const std::string cjk = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";
const std::string four_bytes = "\xf0\x9f\x98\x80";
const std::string omega = "\xce\xa9";
const std::string full_width_quote = "\xef\xbc\x82";

std::string mixed(const std::string &word)
{
    return word + " " + cyrillic + " " + cjk + " " + four_bytes;
}

struct unicode_tree {
    std::string start, work, path_entry, command;
};

class unicode_paths : public e2e_test {
protected:
    /* A start directory, a working directory and a PATH directory whose
       names hold every kind of character, the launcher in the first and the
       command, named alike, in the last. */
    unicode_tree make_unicode_tree(bool manifest)
    {
        unicode_tree u;
        u.start = join_unix(tree.app, mixed("bin"));
        u.work = join_unix(tree.app, mixed("work"));
        u.path_entry = join_unix(tree.app, mixed("path"));
        u.command = "tool_" + cyrillic + cjk + four_bytes;
        for (const std::string &directory : {u.start, u.work, u.path_entry})
            make_directory(directory);
        fs::copy_file(join_unix(tree.bin, launcher_name()), join_unix(u.start, launcher_name()));
        if (manifest)
            fs::copy_file(UTF8_MANIFEST, join_unix(u.start, launcher_name() + ".manifest"));
        copy_probe(join_unix(u.path_entry, u.command + ".exe"));
        return u;
    }
    launch make_launch(const unicode_tree &u, const std::string &arguments, bool japanese)
    {
        launch how;
        how.unicode = true;
        how.code_page_932 = japanese;
        how.application = join_unix(u.start, launcher_name());
        how.directory = to_wine_path(u.start);
        how.command_line = "launcher \"..\\" + mixed("work") + "\" " + arguments;
        how.environment = make_environment(tree, to_wine_path(u.path_entry) + ";C:\\windows");
        return how;
    }
};

struct opt_in_case {
    const char *name;
    bool manifest;
    bool japanese;  /* code page 932 */
};

const opt_in_case opt_in_cases[] = {
    {"utf8_manifest", true, false},
    {"utf8_manifest_wins_over_code_page_932", true, true},
    {"no_manifest", false, false},
    {"no_manifest_under_code_page_932", false, true},
};

void PrintTo(const opt_in_case &c, std::ostream *out)
{
    *out << c.name;
}

class unicode_opt_in : public unicode_paths, public ::testing::WithParamInterface<opt_in_case> {
};

/* With the manifest the command is found through PATH and receives its
   arguments, its directory and the extended PATH exactly.  Without it the
   four-byte character has no ANSI form in either code page: it becomes the
   default character, which no file name holds, and the launcher says so. */
TEST_P(unicode_opt_in, passes_every_character_only_with_the_manifest)
{
    const opt_in_case &c = GetParam();
    unicode_tree u = make_unicode_tree(c.manifest);
    std::string arguments = cyrillic + " " + cjk + " \"" + four_bytes + " x\"";
    launch how = make_launch(u, u.command + " " + arguments, c.japanese);
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    if (!c.manifest) {
        EXPECT_EQ(result.exit_code, EXIT_FAILED);
        EXPECT_EQ(show_bytes(result.error_output), show_bytes("Exec Failed: Invalid argument\r\n"));
        return;
    }
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(show_bytes(result.error_output), "");
    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
    EXPECT_EQ(show_bytes(report.command_line_w),
              show_bytes(u.command + " " + cyrillic + " " + cjk + " " + four_bytes + " x"));
    EXPECT_EQ(show_bytes(report.module_w),
              show_bytes(join_wine(to_wine_path(u.path_entry), u.command + ".exe")));
    EXPECT_EQ(show_bytes(report.directory_w), show_bytes(to_wine_path(u.work)));
    std::string path, drive;
    ASSERT_TRUE(find_variable(report.environment_w, "PATH", &path));
    EXPECT_EQ(show_bytes(path), show_bytes(to_wine_path(u.path_entry) + ";C:\\windows;" +
                                           to_wine_path(u.start) + "\\..\\lib"));
    ASSERT_TRUE(find_variable(report.environment_w, "=Z:", &drive));
    EXPECT_EQ(show_bytes(drive), show_bytes(to_wine_path(u.work)));
}

INSTANTIATE_TEST_SUITE_P(cases, unicode_opt_in, ::testing::ValuesIn(opt_in_cases),
                         [](const ::testing::TestParamInfo<opt_in_case> &info) {
                             return std::string(info.param.name);
                         });

/* Without the manifest, under the Western code page: the command receives
   the PATH the launcher received, every character exact, and a library
   directory that names the true start directory. */
TEST_F(unicode_paths, path_passed_on_exactly_without_the_manifest)
{
    unicode_tree u = make_unicode_tree(false);
    copy_probe(join_unix(tree.work, "tool.exe"));
    std::string old_path = "Z:\\t\\" + omega + "mega;C:\\" + cjk + ";C:\\windows";
    launch how = make_launch(u, "", false);
    how.command_line = "launcher ..\\work tool";
    how.environment[0] = "PATH=" + old_path;
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 0u);
    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
    std::string path;
    ASSERT_TRUE(find_variable(report.environment_w, "PATH", &path));
    EXPECT_EQ(show_bytes(path), show_bytes(old_path + ";" + to_wine_path(u.start) + "\\..\\lib"));
}

/* Without the manifest, under the Western code page, the platform's best
   fit would take a full-width quote for a quote and omega for "O": the
   arguments would split differently, and the PATH entry Z:\...\<omega>mega
   would find a command in Z:\...\Omega.  The launcher takes neither: the
   quotes arrive as the default character, and the entry holds no command. */
TEST_F(unicode_paths, no_look_alikes_without_the_manifest)
{
    std::string omega_entry = join_unix(tree.app, omega + "mega");
    std::string look_alike = join_unix(tree.app, "Omega");
    make_directory(omega_entry);
    make_directory(look_alike);
    copy_probe(join_unix(look_alike, "found.exe"));
    copy_probe(join_unix(tree.work, "tool.exe"));
    for (const char *command : {"tool", "found"}) {
        launch how;
        how.unicode = true;
        how.command_line = "launcher ..\\work " + std::string(command) + " " + full_width_quote +
                           "a b" + full_width_quote;
        how.environment = make_environment(tree, to_wine_path(omega_entry));
        launch_result result = run_launcher(tree, how);
        ASSERT_TRUE(result.ran) << result.failure;
        if (std::string(command) == "found") {
            EXPECT_EQ(result.exit_code, EXIT_FAILED);
            EXPECT_EQ(show_bytes(result.error_output),
                      show_bytes("Exec Failed: No such file or directory\r\n"));
            continue;
        }
        probe_report report;
        ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
        EXPECT_EQ(show_bytes(report.command_line), "tool ?a b?");
    }
}

} // namespace
