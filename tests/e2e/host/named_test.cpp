/*
 * Named launchers: a copy of shim.exe or shimw.exe as app/MyApp.exe with
 * MyApp.shim beside it, started from another directory, through PATH, with
 * arguments a script would pass, and with files that are wrong.  Paths in
 * the table are written with {app} for the application folder as Windows
 * sees it, {system32} for C:\windows\system32 and {only64} for the name of a
 * 64-bit program that only the native System32 holds.
 */
#include "e2e_support.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <regex>
#include <thread>

namespace {

/* An env line and lib lines of C:\ and 240 characters: PATH with the lib
   directories beyond a variable's 32767 characters, or the lib directories
   alone beyond them. */
std::string repeat(const std::string &text, size_t count)
{
    std::string all;
    while (count--)
        all += text;
    return all;
}
const std::string lib_line = "lib = C:\\" + std::string(240, 'l') + "\n";
const std::string long_path = "path = bin\\tool.exe\nenv = PATH=" + std::string(8000, 'p') + "\n" +
                              repeat(lib_line, 110);
const std::string long_libraries = "path = bin\\tool.exe\n" + repeat(lib_line, 140);
const std::string long_args = "path = bin\\tool.exe\nargs = " + std::string(20000, 'a');
const std::string long_line = " " + std::string(20000, 'a') + " y";
/* Beyond the launchers' 8192 bytes; "." is the caller's directory, which
   holds a tool.exe, and an overlong entry is passed over. */
const std::string path_9000 = ".;C:\\" + std::string(8990, 'p') + ";{app}\\onpath";
const char copies_args[] = "path = MyApp\nargs = -A\nlib = L\nenv = CNT=%CNT%+";

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
    const char *variables = ""; /* "NAME=VALUE|NAME" the command has, or lacks */
    const char *path = nullptr;  /* PATH, if not onpath alone */
    const char *other = nullptr; /* Other.shim beside a copy Other.exe */
    const char *program = "MyApp"; /* the program name the caller gives */
    unsigned fill_to = 0; /* "x"s after the arguments, so the command line
                             takes this many characters with its terminator */
    const char *second = nullptr; /* the file of a copy in {app}\second; null: none */
    const char *console = ""; /* "own" or "shared": the probe reports on MyApp's */
    int show_window = -1;     /* the caller's window state, which the command gets */
    int parent_console = -1;  /* shim.exe still has a console after the start */
    const char *trace = ""; /* LAUNCHER_TRACE: its lines come before the start */
    bool other_build = false; /* the copy in {app}\second is the other architecture's */
    const char *child = nullptr; /* Child.shim of a copy the command starts: its report */
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
    {"missing_file", nullptr, "",
     "Shim Failed: No such file or directory\r\n{app}\\MyApp.shim (Windows error 2)\r\n"},
    {"unknown_key", "path = bin\\tool.exe\npth = x\n", "",
     "Shim Failed: unknown key\r\npth = x in {app}\\MyApp.shim\r\n"},
    {"missing_command", "path = bin\\nothing", "",
     "Exec Failed: No such file or directory\r\npath = bin\\nothing in {app}\\MyApp.shim"
     " (Windows error 2)\r\n"},
    {"args_keep_every_quote_and_know_the_folder",
     "path = bin\\tool.exe\nargs = \"a b\" -v \"c d\" %~dp0x.txt", "\"e f\"", "",
     "{app}\\bin\\tool.exe", " \"a b\" -v \"c d\" {app}\\x.txt \"e f\"", "-", "onpath"},
    /* The bare path is looked for through the PATH the launcher was given. */
    {"environment_set_removed_and_referenced",
     "path = tool\nenv = PATH=C:\\x\nenv = windir=\nenv = A = %SystemRoot%\\a\n"
     "env = B=%A%;%windir%\nlib = lib", "", "", "{app}\\onpath\\tool.exe", "", "-", "",
     false, false, "PATH=C:\\x;{app}\\lib|windir|A=C:\\windows\\a|B=C:\\windows\\a;%windir%"},
    {"passes_over_itself_on_path", "path = MyApp", "", "", "{app}\\onpath\\MyApp.exe", "", "-", "",
     false, false, "", "{app};{app}\\onpath"},
    {"path_removed_plus_lib", "path = bin\\tool.exe\nenv = PATH=\nlib = lib", "", "",
     "{app}\\bin\\tool.exe", "", "-", "", false, false, "PATH={app}\\lib"},
    {"quote_through_a_variable", "path = bin\\tool.exe\nlib = %PATH%", "",
     "Shim Failed: a quote inside the value once references are replaced\r\n"
     "lib = %PATH% in {app}\\MyApp.shim\r\n", "", "", "-", "", false, false, "", "\"C:\\x y\""},
    {"path_of_9000_characters", "path = tool", "", "", "{app}\\onpath\\tool.exe", "", "-", "",
     false, false, "", path_9000.c_str()},
    {"cr_only_lines", "path = bin\\tool.exe\rlib = lib\r", "", "", "{app}\\bin\\tool.exe", "",
     "-", ";{app}\\lib"},
    /* Each passes over itself and the copy before it. */
    {"two_folders_of_launchers_on_path", "path = MyApp", "", "", "{app}\\onpath\\MyApp.exe", "",
     "-", "", false, false, "", "{app};{app}\\second;{app}\\onpath", nullptr, "MyApp", 0,
     "path = MyApp"},
    /* x86 and x64 copies under one name, either first: each file applied once. */
    {"copies_of_two_builds_the_other_first", copies_args, "X", "", "{app}\\onpath\\MyApp.exe",
     " -A X", "-", ";{app}\\L", false, false,
     "CNT=%CNT%+|PATH={app}\\second;{app};{app}\\onpath;{app}\\L", "{app}\\second;{app};{app}\\onpath",
     nullptr, "MyApp", 0, "path = MyApp", "", -1, -1, "", true},
    {"copies_of_two_builds_this_first", copies_args, "X", "", "{app}\\onpath\\MyApp.exe", " -A X",
     "-", ";{app}\\L", false, false,
     "CNT=%CNT%+|PATH={app};{app}\\second;{app}\\onpath;{app}\\L", "{app};{app}\\second;{app}\\onpath",
     nullptr, "MyApp", 0, "path = MyApp", "", -1, -1, "", true},
    /* py.exe's program runs Child.exe (pytest, path = MyApp): py.exe runs again. */
    {"a_launcher_of_an_ancestor_is_not_passed_over", "path = MyApp\nargs = -X utf8", "", "",
     "{app}\\onpath\\MyApp.exe", " -X utf8 -m pytest", "-", "", false, false, "",
     "{app};{app}\\onpath", nullptr, "MyApp", 0, nullptr, "", -1, -1, "", false,
     "path = MyApp\nargs = -m pytest"},
    {"refuses_a_path_to_itself", "path = .\\MyApp", "",
     "Shim Failed: path leads to this launcher\r\npath = .\\MyApp in {app}\\MyApp.shim\r\n"},
    /* Each waits for the next, or starts it and ends: either way the 33rd
       ends the chain. */
    {"a_loop_of_two_ends", "path = .\\Other.exe", "",
     "Shim Failed: more than 32 named launchers in a chain\r\n{app}\\MyApp.shim\r\n", "", "",
     "-", "", false, false, "", nullptr, "path = .\\MyApp.exe"},
    {"path_too_long_with_the_libraries", long_path.c_str(), "",
     "Shim Failed: variable too long, maximum size supported is 32767 characters\r\n"
     "{app}\\MyApp.shim\r\n"},
    {"libraries_too_long", long_libraries.c_str(), "",
     "Shim Failed: variable too long, maximum size supported is 32767 characters\r\n"
     "{app}\\MyApp.shim\r\n"},
    {"command_line_at_the_limit", long_args.c_str(), "y", "", "{app}\\bin\\tool.exe",
     long_line.c_str(), "-", "", false, false, "", nullptr, nullptr, "MyApp", 32767},
    {"command_line_over_the_limit", long_args.c_str(), "y",
     "Exec Failed: Arg list too long\r\npath = bin\\tool.exe in {app}\\MyApp.shim\r\n",
     "{app}\\bin\\tool.exe", long_line.c_str(), "-", "", false, false, "", nullptr, nullptr,
     "MyApp", 32768},
    /* Found as a 64-bit caller finds it, whatever the launcher's width. */
    {"native_system32_program_by_path", "path = {system32}\\{only64}.exe", "", "",
     "{system32}\\{only64}.exe", "", "-", "onpath"},
    {"native_system32_program_through_path", "path = {only64}", "", "",
     "{system32}\\{only64}.exe", "", "-", "", false, false, "", "{system32}"},
    {"directory_only_in_native_system32",
     "path = {system32}\\{only64}.exe\ndirectory = {system32}\\{only64}", "", "",
     "{system32}\\{only64}.exe", "", "{system32}\\{only64}", "onpath"},
    /* The C runtimes take "{app}"\MyApp.exe for one name. */
    {"partly_quoted_program_name", "path = bin\\tool.exe", "--fix \"x y\"", "",
     "{app}\\bin\\tool.exe", " --fix \"x y\"", "-", "", false, false, "", nullptr, nullptr,
     "\"{app}\"\\MyApp.exe"},
    /* shim.exe lets a console made for it alone go once a GUI program has
       started, and still waits; a shared console, or a console command's,
       stays. */
    {"gui_command_on_a_console_of_its_own", "path = bin\\gui.exe", "", "", "{app}\\bin\\gui.exe",
     "", "-", "", false, false, "", nullptr, nullptr, "MyApp", 0, nullptr, "own", 7, 0},
    {"gui_command_on_a_shared_console", "path = bin\\gui.exe", "", "", "{app}\\bin\\gui.exe", "",
     "-", "", false, false, "", nullptr, nullptr, "MyApp", 0, nullptr, "shared", 3, 1},
    {"console_command_on_a_console_of_its_own", "path = bin\\tool.exe", "", "",
     "{app}\\bin\\tool.exe", "", "-", "", false, false, "", nullptr, nullptr, "MyApp", 0, nullptr,
     "own", -1, 1},
    {"traced", "path = tool", "",
     "trace: file {traced app}\\MyApp.shim\r\ntrace: path = tool\r\ntrace: candidate "
     "{traced app}\\onpath\\tool.com: No such file or directory (Windows error 2)\r\n"
     "trace: found {traced app}\\onpath\\tool.exe\r\ntrace: handle width 4\r\n"
     "trace: command line \"{traced app}\\onpath\\tool.exe\"\r\n",
     "{app}\\onpath\\tool.exe", "", "-", "onpath", false, false, "", nullptr, nullptr, "MyApp", 0, nullptr,
     "", -1, -1, "1"},
};

void PrintTo(const named_case &c, std::ostream *out)
{
    *out << c.name;
}

class named_launcher : public e2e_test, public ::testing::WithParamInterface<named_case> {
protected:
    std::string only64;

    std::string expand(const char *text)
    {
        /* The trace shows a backslash before "x" as "\\x5C", so a tree
           under a folder such as /tmp/x reads differently there. */
        std::string traced = std::regex_replace(to_wine_path(tree.app), std::regex("\\\\x"),
                                                "\\x5Cx");
        std::string expanded = std::regex_replace(text, std::regex("\\{traced app\\}"), traced);
        expanded = std::regex_replace(expanded, std::regex("\\{app\\}"), to_wine_path(tree.app));
        expanded = std::regex_replace(expanded, std::regex("\\{only64\\}"), only64);
        return std::regex_replace(expanded, std::regex("\\{system32\\}"), "C:\\windows\\system32");
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
    std::filesystem::copy_file(join_unix(E2E_HELPER_DIR, "probe_gui.exe"), tree.bin + "/gui.exe");
    copy_probe(join_unix(onpath, "MyApp.exe"));
    if (c.shim && std::strstr(c.shim, "{only64}"))
        only64 = place_native_only_program();
    std::string shim = c.shim ? expand(c.shim) : "";
    make_named_launcher(join_unix(tree.bin, launcher_name()), tree.app, "MyApp",
                        c.shim ? shim.c_str() : nullptr);
    if (c.other)
        make_named_launcher(join_unix(tree.bin, launcher_name()), tree.app, "Other", c.other);
    if (c.second) {
        std::string exe = join_unix(tree.bin, launcher_name()), other = sibling_exe(launcher_name());
        size_t at = other.rfind("/win") + 4; /* win64's beside win32's, and back */
        other.replace(at, 2, other.compare(at, 2, "32") ? "32" : "64");
        make_directory(join_unix(tree.app, "second"));
        make_named_launcher(c.other_build ? other : exe, join_unix(tree.app, "second"), "MyApp",
                            c.second);
    }
    if (c.child)
        make_named_launcher(join_unix(tree.bin, launcher_name()), tree.app, "Child", c.child);

    launch how;
    std::string path = c.path      ? expand(c.path)
                       : c.by_path ? "C:\\windows\\system32;" + to_wine_path(tree.app)
                                   : to_wine_path(onpath);
    how.environment = make_environment(tree, path);
    /* Every bit of the command's exit code, where the build waits for it. */
    how.environment.push_back("PROBE_EXIT=3221225477");
    if (*c.console)
        how.environment.push_back("PROBE_PARENT_CONSOLE=1");
    how.console = c.console;
    how.show_window = c.show_window;
    how.environment.push_back(std::string("LAUNCHER_TRACE=") + c.trace);
    if (c.child)
        how.environment.push_back("PROBE_CHILD=" + to_wine_path(join_unix(tree.app, "Child.exe")));
    how.directory = to_wine_path(tree.root);
    how.unicode = c.wide;
    how.application = c.by_path ? "-" : join_unix(tree.app, "MyApp.exe");
    std::string module = expand(c.module), line = expand(c.line);
    std::string fill(c.fill_to ? c.fill_to - 3 - module.size() - line.size() : 0, 'x');
    line += fill;
    how.command_line = (c.by_path ? "cmd /c " : "") + expand(c.program) +
                       (*c.arguments ? " " : "") + c.arguments + fill;
    /* A chain that does not wait ends after its first launcher has. */
    std::string error_file = join_unix(tree.root, "stderr.txt");
    how.stderr_kind = c.other ? "file" : "pipe";
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (c.other && result.error_output != expand(c.error) &&
           std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream file(error_file, std::ios::binary);
        result.error_output.assign(std::istreambuf_iterator<char>(file), {});
    }
    EXPECT_EQ(show_bytes(result.error_output), show_bytes(expand(c.error)));
    if (*c.error && !*c.trace) {
        EXPECT_EQ(result.exit_code,
                  c.other && launcher_name() == "shimw.exe" ? 0u : EXIT_FAILED);
        return;
    }
    EXPECT_EQ(result.exit_code, launcher_name() == "shim.exe" ? 3221225477u : 0u);
    probe_report report;
    scratch_tree reported = tree;
    if (c.child)
        reported.probe_out += ".child";
    ASSERT_TRUE(wait_for_probe(reported, &report)) << "the command was not started";
    EXPECT_EQ(report.module_w, module);
    EXPECT_EQ(report.show_window, c.show_window);
    if (launcher_name() == "shim.exe") {
        EXPECT_EQ(report.parent_console, c.parent_console);
    }
    EXPECT_EQ(show_bytes(c.wide ? report.command_line_w : report.command_line),
              show_bytes("\"" + module + "\"" + line));
    EXPECT_EQ(report.directory_w, strcmp(c.directory, "-") ? expand(c.directory)
                                                           : to_wine_path(tree.root));
    std::string new_path;
    ASSERT_TRUE(find_variable(report.environment_w, "PATH", &new_path));
    std::string libraries = expand(c.libraries);
    EXPECT_EQ(new_path.substr(new_path.size() - std::min(new_path.size(), libraries.size())),
              libraries);
    std::stringstream expected(expand(c.variables));
    for (std::string item; std::getline(expected, item, '|');) {
        std::string name = item.substr(0, item.find('=', 1)), value;
        bool found = find_variable(report.environment_w, name, &value);
        EXPECT_EQ(found ? name + "=" + value : name, item);
    }
}

INSTANTIATE_TEST_SUITE_P(cases, named_launcher, ::testing::ValuesIn(named_cases),
                         [](const ::testing::TestParamInfo<named_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
