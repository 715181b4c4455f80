#include "e2e_support.h"

#include "hex_text.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

const char hyo_cp932[] = "\x95\x5c";
const char hyo_utf8[] = "\xe8\xa1\xa8";

/* The probe writes its report within a second or two even on a loaded
   machine; this only bounds a test whose launcher started nothing. */
static const std::chrono::seconds probe_wait_limit(20);

/* The exe under test, as a path into the Windows build that made it. */
static std::string launcher_exe()
{
    const char *value = std::getenv("LAUNCHER_E2E_LAUNCHER");
    return value ? value : "";
}

static std::string launcher_build_directory()
{
    return fs::path(launcher_exe()).parent_path().string();
}

std::string launcher_name()
{
    return fs::path(launcher_exe()).filename().string();
}

bool launcher_waits()
{
    return launcher_name() == "launcher-wait.exe";
}

std::string sibling_exe(const std::string &name)
{
    return join_unix(launcher_build_directory(), name);
}

void make_named_launcher(const std::string &exe, const std::string &directory,
                         const std::string &name, const char *shim)
{
    fs::copy_file(exe, join_unix(directory, name + ".exe"), fs::copy_options::overwrite_existing);
    if (shim)
        write_file(join_unix(directory, name + ".shim"), shim);
}

static std::string runner_exe()
{
    return join_unix(E2E_HELPER_DIR, "runner.exe");
}

static std::string probe_path(int bits = 32)
{
    return join_unix(bits == 64 ? E2E_HELPER_DIR_64 : E2E_HELPER_DIR, "probe.exe");
}

std::string join_unix(const std::string &directory, const std::string &name)
{
    return directory + "/" + name;
}

std::string join_wine(const std::string &directory, const std::string &name)
{
    return directory + "\\" + name;
}

/* Wine's drive Z: is the Unix root. */
std::string to_wine_path(const std::string &unix_path)
{
    std::string path = "Z:" + unix_path;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void make_directory(const std::string &unix_path)
{
    fs::create_directories(unix_path);
}

void write_file(const std::string &unix_path, const std::string &bytes)
{
    std::ofstream file(unix_path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

static std::string read_file(const std::string &unix_path)
{
    std::ifstream file(unix_path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void copy_probe(const std::string &unix_path, int bits)
{
    if (!fs::exists(probe_path(bits)))
        ADD_FAILURE() << probe_path(bits) << " not found: build the win64 preset first";
    fs::copy_file(probe_path(bits), unix_path, fs::copy_options::overwrite_existing);
}

/* The variant is the name of the Windows build directory and of the exe:
   win32.launcher, win32-clang.launcherw, ... */
static std::string name_variant()
{
    std::string exe = launcher_name();
    return fs::path(launcher_build_directory()).filename().string() + "." +
           exe.substr(0, exe.rfind('.'));
}

/* One directory per variant and test, so that variants and tests can run
   side by side under ctest -j. */
static std::string name_scratch_root()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/')
            c = '_';
    return join_unix(join_unix(E2E_SCRATCH_ROOT, name_variant()), name);
}

std::string place_native_only_program()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    /* Tests run side by side in one prefix: each has a name of its own,
       without "." (which would make it a name with an extension). */
    std::string name = "only64-" + name_variant() + "-" + info->name();
    for (char &c : name)
        if (c == '.' || c == '/')
            c = '-';
    copy_probe(std::string(E2E_WINE_PREFIX) + "/drive_c/windows/system32/" + name + ".exe", 64);
    make_directory(std::string(E2E_WINE_PREFIX) + "/drive_c/windows/system32/" + name);
    return name;
}

static scratch_tree make_scratch_tree()
{
    scratch_tree tree;
    tree.root = name_scratch_root();
    fs::remove_all(tree.root);
    tree.app = join_unix(tree.root, "app");
    tree.bin = join_unix(tree.app, "bin");
    tree.lib = join_unix(tree.app, "lib");
    tree.work = join_unix(tree.app, "work");
    tree.probe_out = join_unix(tree.root, "probe.txt");
    make_directory(tree.bin);
    make_directory(tree.lib);
    make_directory(tree.work);
    fs::copy_file(launcher_exe(), join_unix(tree.bin, launcher_name()));
    return tree;
}

void e2e_test::SetUp()
{
    if (launcher_exe().empty())
        FAIL() << "LAUNCHER_E2E_LAUNCHER is not set: ctest sets it to the exe of a Windows "
                  "build that these tests run";
    if (!fs::exists(launcher_exe()))
    {
        std::string preset = fs::path(launcher_build_directory()).filename().string();
        FAIL() << launcher_name() << " not found at " << launcher_exe() << ": build that Windows "
               << "preset first (cmake --preset " << preset << " && cmake --build --preset "
               << preset << ")";
    }
    if (!fs::exists(runner_exe()) || !fs::exists(probe_path()))
        FAIL() << "runner.exe or probe.exe not found in " << E2E_HELPER_DIR
               << ": build the win32 preset first (cmake --build --preset win32)";
    tree = make_scratch_tree();
}

std::vector<std::string> make_environment(const scratch_tree &tree, const std::string &path)
{
    return {"PATH=" + path, "PROBE_OUT=" + to_wine_path(tree.probe_out),
            "SystemRoot=C:\\windows", "windir=C:\\windows",
            "COMSPEC=C:\\windows\\system32\\cmd.exe"};
}

static std::string quote_for_shell(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/* A file stream is created in the test's directory under its own name. */
static std::string describe_stream(const std::string &name, const std::string &kind,
                                   const scratch_tree &tree)
{
    std::string line = name + " " + kind;
    if (kind == "file" || kind == "readonly")
        line += " " + encode_hex(to_wine_path(join_unix(tree.root, name + ".txt")));
    return line + "\n";
}

static std::string build_request(const scratch_tree &tree, const launch &how)
{
    std::string directory = how.directory.empty() ? to_wine_path(tree.bin) : how.directory;
    std::string application =
        how.application.empty() ? join_unix(tree.bin, launcher_name()) : how.application;
    std::string request;
    if (how.application != "-")
        request += "application " + encode_hex(to_wine_path(application)) + "\n";
    request += "command_line " + encode_hex(how.command_line) + "\n";
    request += "directory " + encode_hex(directory) + "\n";
    for (const std::string &entry : how.environment)
        request += "environment " + encode_hex(entry) + "\n";
    if (how.unicode)
        request += "unicode\n";
    if (!how.stdin_data.empty())
        request += "stdin data " + encode_hex(how.stdin_data) + "\n";
    else if (how.stdin_kind != "null")
        request += describe_stream("stdin", how.stdin_kind, tree);
    request += describe_stream("stdout", how.stdout_kind, tree);
    request += describe_stream("stderr", how.stderr_kind, tree);
    if (!how.terminate_when.empty())
        request += "terminate_when " + encode_hex(to_wine_path(how.terminate_when)) + "\n";
    if (how.terminate_on_child)
        request += "terminate_on_child\n";
    if (!how.interrupt_when.empty())
        request += "interrupt_when " + encode_hex(to_wine_path(how.interrupt_when)) + "\n";
    if (!how.window_title.empty())
        request += "watch_window " + encode_hex(how.window_title) + " " +
                   encode_hex(to_wine_path(how.window_signal)) + "\n";
    if (how.show_window >= 0)
        request += "show_window " + std::to_string(how.show_window) + "\n";
    if (!how.console.empty())
        request += "console " + how.console + "\n";
    if (how.creation_flags)
        request += "creation_flags " + std::to_string(how.creation_flags) + "\n";
    if (how.hidden_station)
        request += "hidden_station\n";
    if (how.wait_limit)
        request += "wait_limit " + std::to_string(how.wait_limit) + "\n";
    for (const std::string &slot : how.slots)
        request += "slot " + slot + "\n";
    if (how.block_width != 4)
        request += "block_width " + std::to_string(how.block_width) + "\n";
    if (how.has_block_count)
        request += "block_count " + std::to_string(how.block_count) + "\n";
    return request;
}

/* Wine's ANSI code page follows the Unix locale of the process that starts
   it, and a Windows child started by it keeps that locale. */
static std::string build_wine_command(const scratch_tree &tree, const launch &how)
{
    std::string locale = how.code_page_932 ? "ja_JP.UTF-8" : "C.UTF-8";
    std::string request = to_wine_path(join_unix(tree.root, "request.txt"));
    /* Standard input and output are files, never the test's own pipes: a
       Wine service started along the way would hold a pipe open and stall
       whoever waits for its end. */
    std::string display = how.display.empty() ? "" : " DISPLAY=" + how.display;
    std::string prefix = how.terminate_on_child ? E2E_RACE_PREFIX
                         : how.display.empty()  ? E2E_WINE_PREFIX
                                                : E2E_DESKTOP_PREFIX;
    return "cd " + quote_for_shell(tree.root) + " &&" + display + " WINEPREFIX=" +
           quote_for_shell(prefix) +
           " WINEDEBUG=" + how.wine_debug + " WINEDLLOVERRIDES=winemenubuilder.exe=d LANG=" + locale +
           " LC_ALL=" + locale + " timeout 90 wine " + quote_for_shell(runner_exe()) + " " +
           quote_for_shell(request) + " </dev/null >runner.out 2>runner.err";
}

static void read_runner_line(const std::string &key, const std::string &value,
                             launch_result *result)
{
    if (key == "acp") {
        result->acp = (unsigned)std::strtoul(value.c_str(), 0, 10);
    } else if (key == "exit_code") {
        result->exit_code = (uint32_t)std::strtoul(value.c_str(), 0, 10);
        result->ran = true;
    } else if (key == "stderr") {
        decode_hex(value, &result->error_output);
    } else if (key == "stdout") {
        decode_hex(value, &result->standard_output);
    } else if (key == "pid_gone") {
        size_t space = value.find(' ');
        result->pid_gone[(uint32_t)std::strtoul(value.c_str(), 0, 10)] =
            space != std::string::npos && value.substr(space + 1) == "1";
    } else if (key == "window_seen") {
        result->window_seen = value == "1";
    } else if (key == "window_text") {
        decode_hex(value, &result->window_text);
    } else if (key == "slot_output") {
        size_t space = value.find(' ');
        unsigned slot = (unsigned)std::strtoul(value.substr(0, space).c_str(), 0, 10);
        decode_hex(space == std::string::npos ? "" : value.substr(space + 1),
                       &result->slot_output[slot]);
    } else if (key == "block") {
        decode_hex(value, &result->block);
    }
}

/* Calls back with each "key value" line of a report. */
template <typename visit> static void read_report_lines(const std::string &text, visit visitor)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        /* The runner's C runtime writes its standard output in text mode. */
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        visitor(key, value);
    }
}

launch_result run_launcher(const scratch_tree &tree, const launch &how)
{
    launch_result result;
    /* A report left by an earlier run would pass for this run's. */
    std::remove(tree.probe_out.c_str());
    write_file(join_unix(tree.root, "request.txt"), build_request(tree, how));
    int status = std::system(build_wine_command(tree, how).c_str());
    std::string output = read_file(join_unix(tree.root, "runner.out"));
    /* Under load Wine now and then fails a start with ERROR_INTERNAL_ERROR
       before the new process runs a line of its own; the launcher never
       ran, so the run is made once more. */
    if (output.find("runner_error create_process 1359") != std::string::npos) {
        status = std::system(build_wine_command(tree, how).c_str());
        output = read_file(join_unix(tree.root, "runner.out"));
    }
    read_report_lines(output, [&](const std::string &key, const std::string &value) {
        read_runner_line(key, value, &result);
    });
    result.wine_errors = read_file(join_unix(tree.root, "runner.err"));
    if (status != 0 || !result.ran) {
        result.ran = false;
        result.wine_lost = output.empty();
        result.failure = "runner under Wine ended with status " + std::to_string(status) +
                         "; its output: " + output +
                         "; Wine's errors: " + read_file(join_unix(tree.root, "runner.err"));
    }
    return result;
}

static std::vector<unsigned long> read_numbers(const std::string &text, int base)
{
    std::vector<unsigned long> numbers;
    std::istringstream words(text);
    std::string word;
    while (words >> word)
        numbers.push_back(std::strtoul(word.c_str(), 0, base));
    return numbers;
}

static std::vector<std::string> split_environment(const std::string &block)
{
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find('\0', start);
        if (end == std::string::npos)
            end = block.size();
        entries.push_back(block.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

/* The probe's fields that arrive as hex text, and where each goes. */
static const struct {
    const char *key;
    std::string probe_report::*field;
} hex_fields[] = {
    {"command_line", &probe_report::command_line},
    {"module", &probe_report::module},
    {"directory", &probe_report::directory},
    {"reserved", &probe_report::reserved},
    {"command_line_w", &probe_report::command_line_w},
    {"module_w", &probe_report::module_w},
    {"directory_w", &probe_report::directory_w},
};

static void read_probe_line(const std::string &key, const std::string &value,
                            probe_report *report)
{
    for (const auto &hex : hex_fields)
        if (key == hex.key) {
            decode_hex(value, &(report->*hex.field));
            return;
        }
    std::string bytes;
    if (key == "acp")
        report->acp = (unsigned)std::strtoul(value.c_str(), 0, 10);
    else if (key == "environment" && decode_hex(value, &bytes))
        report->environment = split_environment(bytes);
    else if (key == "environment_w" && decode_hex(value, &bytes))
        report->environment_w = split_environment(bytes);
    else if (key == "show_window" || key == "parent_console")
        (key == "show_window" ? report->show_window : report->parent_console) = std::stoi(value);
    else if (key == "reserved_size")
        report->reserved_size = (unsigned)std::strtoul(value.c_str(), 0, 10);
    else if (key == "block_types")
        report->block_types = read_numbers(value, 10);
    else if (key == "std_types")
        report->std_types = read_numbers(value, 10);
    else if (key == "std_handles")
        for (unsigned long handle : read_numbers(value, 16))
            report->std_handles.push_back((uint32_t)handle);
}

bool wait_for_probe(const scratch_tree &tree, probe_report *report)
{
    auto deadline = std::chrono::steady_clock::now() + probe_wait_limit;
    while (!fs::exists(tree.probe_out)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    read_report_lines(read_file(tree.probe_out), [&](const std::string &key,
                                                     const std::string &value) {
        read_probe_line(key, value, report);
    });
    return true;
}

static uint32_t read_word(const std::string &bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--)
        value = value << 8 | (unsigned char)bytes[at + i];
    return value;
}

handle_block parse_block(const std::string &bytes, size_t width)
{
    handle_block block;
    if (bytes.size() < 4)
        return block;
    block.count = (int32_t)read_word(bytes, 0);
    for (int32_t i = 0; i < block.count && 4 + (size_t)block.count + width * (size_t)(i + 1) <=
                                               bytes.size(); i++) {
        size_t at = 4 + block.count + width * i;
        uint32_t low = read_word(bytes, at);
        block.flags.push_back((unsigned char)bytes[4 + i]);
        /* An upper half that is not the sign of the lower shows as a value
           no handle has. */
        bool sign_extended = width == 4 || read_word(bytes, at + 4) == ((int32_t)low < 0 ? 0xFFFFFFFFu : 0);
        block.handles.push_back(sign_extended ? low : 0xDEADBEEFu);
    }
    return block;
}

bool find_variable(const std::vector<std::string> &environment, const std::string &name,
                   std::string *value)
{
    for (const std::string &entry : environment) {
        if (entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
            entry[name.size()] == '=') {
            *value = entry.substr(name.size() + 1);
            return true;
        }
    }
    return false;
}

std::string show_bytes(const std::string &bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        char item[8];
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\\')
            text += "\\\\";
        else if (c < 32 || c >= 127)
            std::snprintf(item, sizeof item, "\\x%02x", c), text += item;
        else
            text += (char)c;
    }
    return text;
}
