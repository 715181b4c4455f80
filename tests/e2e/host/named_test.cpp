/*
 * Named launchers: a copy of shim.exe or shimw.exe as app/MyApp.exe with
 * MyApp.shim beside it, started from another directory, through PATH, with
 * arguments a script would pass, and with files that are wrong.  Paths in
 * the table are written with {app} for the application folder as Windows
 * sees it.
 */
#include "e2e_support.h"

#include <cstring>
#include <regex>

namespace {

struct named_case {
    const char *name;
    const char *shim;       /* MyApp.shim; null: none */
    const char *arguments;  /* after the program name; UTF-8 in a wide start */
    const char *error;      /* standard error; empty: the command starts */
    const char *module = "";     /* the file started */
    const char *line = "";       /* its command line, after the quoted file */
    const char *directory = "-"; /* its working directory; "-": the caller's */
    const char *libraries = "";  /* what PATH ends with */
    bool wide = false;      /* a Unicode start, read back in the wide view */
    bool by_path = false;   /* "cmd /c MyApp" with {app} on PATH */
};

const named_case named_cases[] = {
    {"relative_path_lib_and_directory_from_elsewhere",
     "\xef\xbb\xbf# made by hand\r\npath = bin\\tool\r\nlib = lib\r\nlib = ..\\app\\.\\extra\r\n"
     "directory = work\r\nargs = --fixed \"x y\"\r\n",
     "a \"b c\" d\\\"e f\\\\\"g h\"  ", "", "{app}\\bin\\tool.exe",
     " --fixed \"x y\" a \"b c\" d\\\"e f\\\\\"g h\"  ", "{app}\\work",
     ";{app}\\lib;{app}\\extra"},
    {"found_through_path", "path = bin\\tool.exe\nlib = lib\ndirectory = work\n", "x", "",
     "{app}\\bin\\tool.exe", " x", "{app}\\work", ";{app}\\lib", false, true},
    /* A bare name comes from PATH, never from the caller's directory, which
       holds one too. */
    {"bare_path_is_not_taken_from_the_current_directory", "path = tool", "", "",
     "{app}\\onpath\\tool.exe", "", "-", "onpath"},
    {"quoted_absolute_path_with_blanks", "path = \"{app}\\Program Files\\tool.exe\"", "", "",
     "{app}\\Program Files\\tool.exe", "", "-", "onpath"},
    {"every_character_of_the_arguments",
     "path = bin\\tool.exe\nargs = \xd0\x96", "\"\xd0\x9f\xd1\x80\xd0\xb8 \xe5\xbf\x9c\" \xf0\x9f\x98\x80", "",
     "{app}\\bin\\tool.exe", " \xd0\x96 \"\xd0\x9f\xd1\x80\xd0\xb8 \xe5\xbf\x9c\" \xf0\x9f\x98\x80", "-",
     "onpath", true},
    {"missing_file", nullptr, "", "Shim Failed: No such file or directory\r\n{app}\\MyApp.shim\r\n"},
    {"unknown_key", "path = bin\\tool.exe\npth = x\n", "",
     "Shim Failed: unknown key\r\npth = x in {app}\\MyApp.shim\r\n"},
    {"missing_command", "path = bin\\nothing", "",
     "Exec Failed: No such file or directory\r\npath = bin\\nothing in {app}\\MyApp.shim\r\n"},
};

void PrintTo(const named_case &c, std::ostream *out)
{
    *out << c.name;
}

class named_launcher : public e2e_test, public ::testing::WithParamInterface<named_case> {
protected:
    std::string expand(const char *text)
    {
        return std::regex_replace(text, std::regex("\\{app\\}"), to_wine_path(tree.app));
    }
};

TEST_P(named_launcher, starts_what_its_file_says)
{
    const named_case &c = GetParam();
    std::string onpath = join_unix(tree.app, "onpath");
    make_directory(onpath);
    make_directory(join_unix(tree.app, "Program Files"));
    for (const char *place : {"bin", "onpath", "Program Files"})
        copy_probe(join_unix(join_unix(tree.app, place), "tool.exe"));
    copy_probe(join_unix(tree.root, "tool.exe"));
    std::string shim = c.shim ? expand(c.shim) : "";
    make_named_launcher(join_unix(tree.bin, launcher_name()), tree.app, "MyApp",
                        c.shim ? shim.c_str() : nullptr);

    launch how;
    std::string path = c.by_path ? "C:\\windows\\system32;" + to_wine_path(tree.app)
                                 : to_wine_path(onpath);
    how.environment = make_environment(tree, path);
    /* Every bit of the command's exit code, where the build waits for it. */
    how.environment.push_back("PROBE_EXIT=3221225477");
    how.directory = to_wine_path(tree.root);
    how.unicode = c.wide;
    how.application = c.by_path ? "-" : join_unix(tree.app, "MyApp.exe");
    how.command_line = std::string(c.by_path ? "cmd /c MyApp" : "MyApp") +
                       (*c.arguments ? " " : "") + c.arguments;
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(show_bytes(result.error_output), show_bytes(expand(c.error)));
    if (*c.error) {
        EXPECT_EQ(result.exit_code, EXIT_FAILED);
        return;
    }
    EXPECT_EQ(result.exit_code, launcher_name() == "shim.exe" ? 3221225477u : 0u);
    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";
    std::string module = expand(c.module);
    EXPECT_EQ(report.module_w, module);
    EXPECT_EQ(show_bytes(c.wide ? report.command_line_w : report.command_line),
              show_bytes("\"" + module + "\"" + expand(c.line)));
    EXPECT_EQ(report.directory_w, strcmp(c.directory, "-") ? expand(c.directory)
                                                           : to_wine_path(tree.root));
    std::string new_path;
    ASSERT_TRUE(find_variable(report.environment_w, "PATH", &new_path));
    std::string libraries = expand(c.libraries);
    EXPECT_EQ(new_path.substr(new_path.size() - std::min(new_path.size(), libraries.size())),
              libraries);
}

INSTANTIATE_TEST_SUITE_P(cases, named_launcher, ::testing::ValuesIn(named_cases),
                         [](const ::testing::TestParamInfo<named_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
