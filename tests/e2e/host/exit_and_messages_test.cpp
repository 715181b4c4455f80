/*
 * The launcher's exit codes and the exact bytes it writes on standard error
 * when it starts nothing: no arguments, PATH limits, commands that cannot be
 * found or cannot run.  Exit codes are checked in all 32 bits, which only
 * the Windows side can see.
 */
#include "e2e_support.h"

#include <filesystem>

namespace {

const char path_too_long[] = "Path too long for launcher, maximum size supported is 8192 bytes";
const char not_found[] = "Exec Failed: No such file or directory\r\n";

/* Sets up the tree for one case and returns the PATH to start with. */
typedef std::string (*prepare_tree)(const scratch_tree &tree);

struct message_case {
    const char *name;
    const char *command_line;
    prepare_tree prepare;
    const char *stderr_kind;
    uint32_t exit_code;
    const char *error_output;
};

std::string prepare_nothing(const scratch_tree &)
{
    return "C:\\windows";
}

/* A PATH of exactly `length` characters, made of real-looking entries. */
std::string make_long_path(size_t length)
{
    std::string path = "C:\\windows";
    while (path.size() < length)
        path += ";C:\\unused";
    return path.substr(0, length);
}

std::string prepare_path_8192(const scratch_tree &tree)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    return make_long_path(8192);
}

std::string prepare_path_8191(const scratch_tree &)
{
    return make_long_path(8191);
}

/* lib/ is appended to the PATH the command inherits; the search itself uses
   the PATH the launcher was started with. */
std::string prepare_lib_only(const scratch_tree &tree)
{
    copy_probe(join_unix(tree.lib, "tool.exe"));
    return "C:\\windows";
}

/* Every place holds the name with some other extension, and the name with
   an extension appended: none of them is "tool.exe". */
std::string prepare_other_extensions(const scratch_tree &tree)
{
    std::string other = join_unix(tree.app, "other");
    make_directory(other);
    for (const std::string &directory : {tree.work, other}) {
        copy_probe(join_unix(directory, "tool.com"));
        copy_probe(join_unix(directory, "tool.exe.com"));
    }
    return to_wine_path(other);
}

std::string prepare_dotted_name(const scratch_tree &tree)
{
    copy_probe(join_unix(tree.work, "tool.v2.exe"));
    return "C:\\windows";
}

std::string prepare_text_program(const scratch_tree &tree)
{
    write_file(join_unix(tree.work, "tool.exe"), "this is not a program\r\n");
    return "C:\\windows";
}

/* An existing directory counts as found; starting it fails and the .exe
   beside it is never tried. */
std::string prepare_directory_as_program(const scratch_tree &tree)
{
    make_directory(join_unix(tree.work, "tool.com"));
    copy_probe(join_unix(tree.work, "tool.exe"));
    return "C:\\windows";
}

const message_case message_cases[] = {
    {"no_arguments", "launcher", prepare_nothing, "pipe", EXIT_FAILED, ""},
    {"only_blanks_after_program_name", "launcher \t ", prepare_nothing, "pipe", EXIT_FAILED, ""},
    {"only_directory", "launcher ..\\work", prepare_nothing, "pipe", 0, ""},
    {"path_of_8192_on_pipe", "launcher ..\\work tool", prepare_path_8192, "pipe", EXIT_FAILED,
     path_too_long},
    {"path_of_8192_on_file", "launcher ..\\work tool", prepare_path_8192, "file", EXIT_FAILED,
     path_too_long},
    /* The NUL device is a character device: the message goes out through
       the lent buffer instead; nothing can be read back, only the code. */
    {"path_of_8192_on_device", "launcher ..\\work tool", prepare_path_8192, "null",
     EXIT_FAILED, ""},
    {"path_of_8191_accepted", "launcher ..\\work", prepare_path_8191, "pipe", 0, ""},
    {"not_found_on_pipe", "launcher ..\\work tool", prepare_nothing, "pipe", EXIT_FAILED,
     not_found},
    {"not_found_on_file", "launcher ..\\work tool", prepare_nothing, "file", EXIT_FAILED,
     not_found},
    /* An empty name is only the extensions, here and in each PATH entry. */
    {"empty_command_name", "launcher ..\\work \"\"", prepare_nothing, "pipe", EXIT_FAILED,
     not_found},
    /* Without any standard error handle the message is lost, the code is not. */
    {"not_found_without_stderr", "launcher ..\\work tool", prepare_nothing, "none", EXIT_FAILED,
     ""},
    {"found_only_in_lib", "launcher ..\\work tool", prepare_lib_only, "pipe", EXIT_FAILED,
     not_found},
    {"extension_exists_nowhere", "launcher ..\\work tool.exe", prepare_other_extensions, "pipe",
     EXIT_FAILED, not_found},
    {"dotted_name_gets_no_extension", "launcher ..\\work tool.v2", prepare_dotted_name, "pipe",
     EXIT_FAILED, not_found},
    /* A name the file system cannot hold fails its existence check with
       ERROR_INVALID_NAME (123), on Wine as on Windows: no PATH search. */
    {"wildcard_in_name", "launcher ..\\work tool?", prepare_nothing, "pipe", EXIT_FAILED,
     "Exec Failed: Invalid argument\r\n"},
    /* Wine refuses a text file with ERROR_BAD_EXE_FORMAT (193), as Windows does. */
    {"text_file_named_exe", "launcher ..\\work tool", prepare_text_program, "pipe", EXIT_FAILED,
     "Exec Failed: Exec format error\r\n"},
    /* Wine refuses a directory with ERROR_INVALID_HANDLE (6), "Bad file
       descriptor"; Windows gives ERROR_ACCESS_DENIED (5), which would read
       "Permission denied".  Either way the search stops there. */
    {"directory_named_like_program", "launcher ..\\work tool", prepare_directory_as_program,
     "pipe", EXIT_FAILED, "Exec Failed: Bad file descriptor\r\n"},
};

void PrintTo(const message_case &c, std::ostream *out)
{
    *out << c.name;
}

class exit_and_messages : public e2e_test, public ::testing::WithParamInterface<message_case> {
};

TEST_P(exit_and_messages, give_exact_code_and_output)
{
    const message_case &c = GetParam();
    launch how;
    how.command_line = c.command_line;
    how.environment = make_environment(tree, c.prepare(tree));
    how.stderr_kind = c.stderr_kind;
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(show_bytes(result.error_output), show_bytes(c.error_output));
}

INSTANTIATE_TEST_SUITE_P(cases, exit_and_messages, ::testing::ValuesIn(message_cases),
                         [](const ::testing::TestParamInfo<message_case> &info) {
                             return std::string(info.param.name);
                         });

/* The longest PATH that fits still reaches the command, extended. */
class path_limit : public e2e_test {
};

TEST_F(path_limit, path_of_8191_is_extended_and_handed_over)
{
    copy_probe(join_unix(tree.work, "tool.exe"));
    std::string path = make_long_path(8191);
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, path);
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(show_bytes(result.error_output), "");

    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report));
    std::string child_path;
    ASSERT_TRUE(find_variable(report.environment, "PATH", &child_path));
    EXPECT_EQ(child_path, path + ";" + to_wine_path(tree.bin) + "\\..\\lib");
}

class empty_command_line : public e2e_test {
};

/* Windows passes an empty lpCommandLine on as it is, and the launcher then
   splits its module path instead: from "...\my bin\launcher.exe" that would
   give one argument, a working directory, and exit code 0.  Wine replaces an
   empty command line with the quoted application name, so under Wine the
   launcher sees one quoted program name, no arguments, and fails silently.
   The probe pins Wine's replacement, so that this test says so if it
   changes. */
TEST_F(empty_command_line, arrives_as_quoted_application_name_under_wine)
{
    std::string directory = join_unix(tree.app, "my bin");
    make_directory(directory);
    copy_probe(join_unix(directory, "tool.exe"));
    std::filesystem::copy_file(join_unix(tree.bin, launcher_name()),
                               join_unix(directory, launcher_name()));
    launch how;
    how.command_line = "";
    how.environment = make_environment(tree, "C:\\windows");

    how.application = join_unix(directory, "tool.exe");
    launch_result started = run_launcher(tree, how);
    ASSERT_TRUE(started.ran) << started.failure;
    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report));
    EXPECT_EQ(report.command_line, "\"" + to_wine_path(how.application) + "\"");

    how.application = join_unix(directory, launcher_name());
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, EXIT_FAILED);
    EXPECT_EQ(show_bytes(result.error_output), "");
}

} // namespace
