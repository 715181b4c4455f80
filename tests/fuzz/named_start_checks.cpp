/*
 * What every named start must show, whatever it was given, read from the
 * simulated platform's record: the processes made, what reached standard
 * error or a message box, what was set in the environment, and the exit.
 * What the command line should be is modelled from the file's bytes with
 * no more of its rules than the args line needs.
 */
#include "runtime/error_number.h"
#include "shim/shim.h"
#include "tests/fuzz/named_start.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

const std::string traced_line = "trace: command line ";
const char *const runtime_errors[] = {
    "R6008\r\n- not enough space for arguments\r\n", "R6009\r\n- not enough space for environment\r\n",
    "R6026\r\n- not enough space for stdio initialization\r\n",
    "R6027\r\n- not enough space for lowio initialization\r\n", "R6028\r\n- unable to initialize heap\r\n"};

/* A call the input failed, and the run made at least that often; with an
   occurrence, only that one counts. */
bool was_failed(const std::string &name, int occurrence = 0)
{
    for (const sim::fault &f : sim::world().faults)
        if (f.name == name && f.occurrence <= sim::world().call_counts[name] &&
            (!occurrence || f.occurrence == occurrence))
            return true;
    return false;
}

bool failed_allocation()
{
    const std::set<int> &failing = sim::world().failing_allocations;
    return !failing.empty() && *failing.begin() <= sim::world().allocations;
}

bool failed_write()
{
    const std::vector<sim::write_fault> &failing = sim::world().write_faults;
    return !failing.empty() && failing[0].occurrence <= sim::world().writes;
}

char lower(char c)
{
    return (char)std::tolower((unsigned char)c);
}

std::string trim(const std::string &text)
{
    size_t from = text.find_first_not_of(" \t");
    return from == std::string::npos ? "" : text.substr(from, text.find_last_not_of(" \t") + 1 - from);
}

/* The args line's value as the command gets it: the file read as UTF-8
   without its byte-order mark, in the ANSI code page; the line's key in any
   case, the blanks around the value dropped, every quote kept and %~dp0 the
   only reference. */
std::string expected_args(const std::string &bytes)
{
    std::u16string units = sim::from_utf8(bytes);
    units.erase(0, !units.empty() && units[0] == 0xFEFF);
    std::string text = sim::to_ansi(units, false);
    std::string value, args;
    for (size_t at = 0, end; at <= text.size(); at = end + 1) {
        end = std::min(text.find_first_of("\r\n", at), text.size());
        std::string line = text.substr(at, end - at), key = trim(line.substr(0, line.find('=')));
        std::transform(key.begin(), key.end(), key.begin(), lower);
        if (line.find('=') != std::string::npos && key == "args")
            value = trim(line.substr(line.find('=') + 1));
    }
    for (size_t i = 0; i < value.size(); i++) {
        bool folder_reference = value.compare(i, 2, "%~") == 0 && i + 5 <= value.size() &&
                                lower(value[i + 2]) == 'd' && lower(value[i + 3]) == 'p' &&
                                value[i + 4] == '0';
        args += folder_reference ? folder : value.substr(i, 1);
        i += folder_reference ? 4 : 0;
    }
    return args;
}

/* The caller's arguments after the program name, as they stand. */
std::string expected_tail(const named_start &run)
{
    std::string tail = sim::to_ansi(run.tail, false);
    return tail.substr(std::min(tail.find_first_not_of(" \t"), tail.size()));
}

/* The quoted file, then the file's args, then the caller's tail. */
void check_command_line(const named_start &run, const std::string &line, const std::string *file_found)
{
    std::string args = expected_args(run.shim), tail = expected_tail(run);
    std::string later = args + (args.empty() || tail.empty() ? "" : " ") + tail;
    size_t close = line.find('"', 1);
    REQUIRE(line.compare(0, 1, "\"") == 0 && close != std::string::npos);
    REQUIRE(!file_found || line.substr(1, close - 1) == *file_found);
    REQUIRE(line.substr(close + 1) == (later.empty() ? "" : " " + later));
}

bool is_own_file(const std::string &path)
{
    std::string key = sim::key_of(path);
    auto link = sim::world().links.find(key);
    return key == sim::key_of(own) || (link != sim::world().links.end() && link->second == sim::key_of(own));
}

/* The processes made; every attempt with its command line, nothing after a
   process was made, never the launcher's own file where both files could be
   identified, and the shell's elevated
   start of the launcher at most once, after a start refused for want of
   elevation, with the caller's tail as it stands. */
int count_processes_made(const named_start &run)
{
    /* A file whose identity cannot be had matches nothing: the chain's
       limit still ends a loop. */
    bool unidentified = was_failed("CreateFileA") || was_failed("CreateFileW") ||
                        was_failed("GetFileInformationByHandle");
    int made = 0;
    for (const sim::process_start &start : sim::world().starts) {
        REQUIRE(made == 0 && start.application && start.command_line);
        check_command_line(run, *start.command_line, &*start.application);
        REQUIRE(!is_own_file(*start.application) || unidentified);
        made += start.error == 0;
    }
    std::vector<sim::call> shell = sim::calls_named("ShellExecuteExW");
    REQUIRE(shell.size() <= 1);
    if (shell.empty())
        return made;
    const std::vector<sim::process_start> &starts = sim::world().starts;
    REQUIRE(made == 0 && !sim::world().elevated && !starts.empty() &&
            starts.back().error == ERROR_ELEVATION_REQUIRED);
    std::string given = "runas|" + own + "|" + sim::utf8_of(sim::from_ansi(expected_tail(run))) + "|";
    REQUIRE(shell[0].text.compare(0, given.size(), given) == 0);
    return !was_failed("ShellExecuteExW");
}

/* Standard error without the trace's lines, which come first. */
std::string skip_trace(const std::string &out)
{
    size_t at = 0;
    while (out.compare(at, 7, "trace: ") == 0) {
        size_t end = out.find("\r\n", at);
        REQUIRE(end != std::string::npos);
        at = end + 2;
    }
    return out.substr(at);
}

/* What the user was told, with its line ends: in a message box, or on
   standard error when every write reached it; nothing where neither shows
   it. */
std::optional<std::string> find_message(const named_start &run)
{
    const std::vector<sim::message_box> &boxes = sim::world().boxes;
    REQUIRE(boxes.size() <= 1);
    if (!boxes.empty()) {
        /* Its lines end as the message's pieces meant them, in LF but for
           the start-up's CR LF; its first and last line end are left out. */
        std::string box = sim::to_ansi(sim::from_utf8(boxes[0].text), false) + "\n", text;
        for (char c : box)
            text += c == '\n' && (text.empty() || text.back() != '\r') ? "\r\n" : std::string(1, c);
        return (text.compare(0, 14, "runtime error ") == 0 ? "\r\n" : "") + text;
    }
    /* Standard error as the launcher sees it: asked for and its type known. */
    bool taken = !was_failed("GetStdHandle") && !was_failed("GetFileType");
    if (run.error && taken && !failed_write())
        return skip_trace(sim::output_of(run.error));
    /* shimw.exe without standard error shows every message in a box, where
       USER32 can be had. */
    if (!run.error && taken && !build_waits && !was_failed("LoadLibraryA"))
        return "";
    return std::nullopt;
}

bool is_runtime_error(const std::string &message)
{
    for (const char *text : runtime_errors)
        if (message == std::string("\r\nruntime error ") + text)
            return true;
    return false;
}

bool is_reason(const std::string &text)
{
    for (int n = -1; n < 100; n++)
        if (text == get_error_text(n))
            return true;
    for (int m = SHIM_FINE + 1; m < SHIM_MISTAKE_COUNT; m++)
        if (text == get_shim_mistake_text(m))
            return true;
    return text == "elevation was declined";
}

/* The file alone or what in it was wrong, " in " and the file; then the
   Windows error, where there was one. */
bool names_the_file(std::string line)
{
    size_t code = line.rfind(" (Windows error ");
    if (code != std::string::npos && line.back() == ')') {
        std::string digits = line.substr(code + 16, line.size() - code - 17);
        REQUIRE(!digits.empty() && digits[0] != '0' && digits.find_first_not_of("0123456789") == std::string::npos);
        line.erase(code);
    }
    std::string in_file = " in " + file;
    return line == file ||
           (line.size() > in_file.size() && line.compare(line.size() - in_file.size(), in_file.size(), in_file) == 0);
}

/* A failure's message: what failed and why, then for a failure of the
   named start the line that names the file, unless the file has no name
   for want of the exe's own path, its conversion or memory. */
void check_message(const std::string &message)
{
    if (message.empty() || is_runtime_error(message))
        return;
    size_t end = message.find("\r\n"), colon = message.find(": ");
    REQUIRE(end != std::string::npos && colon < end && is_reason(message.substr(colon + 2, end - colon - 2)));
    std::string what = message.substr(0, colon), about = message.substr(end + 2);
    bool unnamed = was_failed("GetModuleFileNameW", 1) || was_failed("WideCharToMultiByte") ||
                   failed_allocation();
    if (what == "Environment allocation failed") {
        REQUIRE(about.empty());
        return;
    }
    REQUIRE(what == "Shim Failed" || what == "Exec Failed" || what == "Directory Failed");
    REQUIRE(!about.empty() || (what == "Shim Failed" && unnamed));
    if (!about.empty())
        REQUIRE(about.size() > 2 && about.compare(about.size() - 2, 2, "\r\n") == 0 &&
                names_the_file(about.substr(0, about.size() - 2)));
}

/* The exit code the build documents for how the run ended: the command's
   (shim.exe) or 0 (shimw.exe) once a process was made, 0 for a dry run
   that reached its command line, -1 for a failure, 255 for a start-up
   failure; and a message for a failure alone. */
void check_ending(const named_start &run, int made)
{
    UINT code = run.end.code;
    /* A dry run that reached its command line names the file it found,
       made full (GetFullPathNameA, the trace's alone); nothing after that
       can fail. */
    bool dry = run.dry && !was_failed("GetEnvironmentVariableA", 1);
    bool described = !sim::calls_named("GetFullPathNameA").empty();
    REQUIRE(!run.end.terminated);
    REQUIRE(!dry || (sim::world().starts.empty() && made == 0));
    bool waited_in_vain = was_failed("WaitForSingleObject") || was_failed("GetExitCodeProcess");
    if (made)
        REQUIRE(build_waits ? code == sim::world().child_exit_code || (code == 0xFFFFFFFF && waited_in_vain)
                            : code == 0);
    else if (dry && described)
        REQUIRE(code == 0);
    else
        REQUIRE(code == 0xFFFFFFFF || (code == 255 && (failed_allocation() || was_failed("HeapCreate"))));

    std::optional<std::string> message = find_message(run);
    if (!message)
        return;
    if (made || (dry && described)) {
        REQUIRE(message->empty());
        return;
    }
    REQUIRE(!message->empty() || was_failed("WideCharToMultiByte", 1) ||
            was_failed("WideCharToMultiByte", 2));
    REQUIRE(is_runtime_error(*message) == (code == 255));
    check_message(*message);
}

/* The command line a dry run describes: the last line standard error
   took, once the dry run reached it. */
void check_described_line(const named_start &run)
{
    bool taken = !was_failed("GetStdHandle") && !was_failed("GetFileType");
    if (!run.dry || was_failed("GetEnvironmentVariableA", 1) || sim::calls_named("GetFullPathNameA").empty() ||
        !run.error || !taken || failed_write())
        return;
    const std::string &out = sim::output_of(run.error);
    REQUIRE(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0);
    size_t end = out.size() - 2, start = out.rfind("\r\n", end - 1);
    start = start == std::string::npos ? 0 : start + 2;
    REQUIRE(out.compare(start, traced_line.size(), traced_line) == 0);
    start += traced_line.size();
    check_command_line(run, out.substr(start, end - start), nullptr);
}

bool is_path_variable(const std::string &text)
{
    return text.size() >= 5 && std::equal(text.begin(), text.begin() + 5, "path=",
                                          [](char a, char b) { return lower(a) == b; });
}

bool has_empty_entry(const std::string &entries)
{
    return entries.empty() || entries.front() == ';' || entries.back() == ';' ||
           entries.find(";;") != std::string::npos;
}

/* PATH as received, or as the env lines set it, passes on as it is, and
   the library directories (made absolute after every env line) follow it,
   each an entry of its own: the launcher adds no empty entry, which would
   stand for a folder of the current drive. */
void check_path(const named_start &run)
{
    std::optional<std::string> path;
    if (run.path)
        path = sim::utf8_of(*run.path);
    bool libraries = false;
    int sets = 0, extensions = 0;
    for (const sim::call &c : sim::world().calls) {
        libraries |= c.name == "GetFullPathNameW";
        if (c.name != "SetEnvironmentVariableW" || was_failed(c.name, ++sets) || !is_path_variable(c.text))
            continue;
        std::optional<std::string> value;
        if (c.args[0])
            value = c.text.substr(5);
        if (!libraries) {
            path = value;
            continue;
        }
        extensions++;
        REQUIRE(value);
        std::string before = path.value_or("");
        REQUIRE(value->compare(0, before.size(), before) == 0);
        REQUIRE(before.empty() || (value->size() > before.size() && (*value)[before.size()] == ';'));
        REQUIRE(!has_empty_entry(before.empty() ? *value : value->substr(before.size() + 1)));
    }
    REQUIRE(extensions <= 1);
}

const named_start *checked;

/* For a finding: how the run ended, what it said and what it started. */
void describe(void)
{
    std::fprintf(stderr, "exit code %u\n", checked->end.code);
    if (checked->error)
        std::fprintf(stderr, "standard error:\n%s\n", sim::output_of(checked->error).c_str());
    for (const sim::message_box &box : sim::world().boxes)
        std::fprintf(stderr, "message box:\n%s\n", box.text.c_str());
    for (const sim::process_start &start : sim::world().starts)
        std::fprintf(stderr, "start (Windows error %u): %s\n", (unsigned)start.error,
                     start.command_line.value_or("").c_str());
    for (const std::string &fault : sim::handle_faults())
        std::fprintf(stderr, "%s\n", fault.c_str());
    std::fprintf(stderr, "calls:");
    for (const sim::call &call : sim::world().calls)
        std::fprintf(stderr, " %s", call.name.c_str());
    std::fprintf(stderr, "\n");
}

} // namespace

void check_named_start(const named_start &run)
{
    checked = &run;
    describe_run = describe;
    REQUIRE(sim::world().bad_frees == 0);
    int made = count_processes_made(run);
    REQUIRE(made <= 1);
    check_ending(run, made);
    check_described_line(run);
    check_path(run);
    /* Every handle opened is closed, or handed on to the end of the process
       (the job, the process waited for); unless a close itself failed. */
    REQUIRE(sim::handle_faults().empty() || was_failed("CloseHandle"));
    /* Still to come, once the trace can tell: no trace line holds a raw
       control character. */
}
