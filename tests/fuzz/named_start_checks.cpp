/*
 * What every named start must show, whatever it was given, read from the
 * simulated platform's record: the processes made, what reached standard
 * error or a message box, what was set in the environment, and the exit.
 * What the command line should be is modelled from the file's bytes with
 * no more of its rules than the args line needs.
 */
#include "tests/fuzz/named_start.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

bool was_failed(const std::string &name, int occurrence)
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

bool standard_error_taken()
{
    return !was_failed("GetStdHandle") && !was_failed("GetFileType");
}

namespace {

const std::string traced_line = "trace: command line ";

char lower(char c)
{
    return (char)std::tolower((unsigned char)c);
}

std::string trim(const std::string &text)
{
    size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos)
        return "";
    return text.substr(from, text.find_last_not_of(" \t") + 1 - from);
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

/* The quoted file, then the file's args, then the caller's tail; in a
   trace line, as the trace shows them. */
void check_command_line(const named_start &run, const std::string &line,
                        const std::string *file_found, bool traced = false)
{
    std::string args = expected_args(run.shim), tail = expected_tail(run);
    std::string later = args + (args.empty() || tail.empty() ? "" : " ") + tail;
    if (traced)
        later = shown_in_trace(later);
    size_t close = line.find('"', 1);
    REQUIRE(line.compare(0, 1, "\"") == 0 && close != std::string::npos);
    REQUIRE(!file_found || line.substr(1, close - 1) == *file_found);
    REQUIRE(line.substr(close + 1) == (later.empty() ? "" : " " + later));
}

bool is_own_file(const std::string &path)
{
    std::string key = sim::key_of(path);
    auto link = sim::world().links.find(key);
    return key == sim::key_of(own) ||
           (link != sim::world().links.end() && link->second == sim::key_of(own));
}

/* The processes made; every attempt with its command line, nothing after a
   process was made, never the launcher's own file where both files could be
   identified, and the shell's elevated start of the launcher at most once,
   after a start refused for want of elevation, with the caller's tail as it
   stands. */
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
    std::string given =
        "runas|" + own + "|" + sim::utf8_of(sim::from_ansi(expected_tail(run))) + "|";
    REQUIRE(shell[0].text.compare(0, given.size(), given) == 0);
    return !was_failed("ShellExecuteExW");
}

/* The run was dry: its trace level read as asked. */
bool is_dry(const named_start &run)
{
    return run.dry && !was_failed("GetEnvironmentVariableA", 1);
}

/* A dry run that reached its command line names the file it found, made
   full (GetFullPathNameA, the trace's alone); nothing after that can
   fail. */
bool reached_dry_end(const named_start &run)
{
    return is_dry(run) && !sim::calls_named("GetFullPathNameA").empty();
}

/* The exit code the build documents for how the run ended: the command's
   (shim.exe) or 0 (shimw.exe) once a process was made, 0 for a dry run
   that reached its command line, -1 for a failure, 255 for a start-up
   failure; and a message for a failure alone. */
void check_ending(const named_start &run, int made)
{
    UINT code = run.end.code;
    REQUIRE(!run.end.terminated);
    REQUIRE(!is_dry(run) || (sim::world().starts.empty() && made == 0));
    bool waited_in_vain = was_failed("WaitForSingleObject") || was_failed("GetExitCodeProcess");
    if (made)
        REQUIRE(build_waits ? code == sim::world().child_exit_code ||
                                  (code == 0xFFFFFFFF && waited_in_vain)
                            : code == 0);
    else if (reached_dry_end(run))
        REQUIRE(code == 0);
    else
        REQUIRE(code == 0xFFFFFFFF ||
                (code == 255 && (failed_allocation() || was_failed("HeapCreate"))));

    std::optional<std::string> message = find_message(run);
    if (!message)
        return;
    if (made || reached_dry_end(run)) {
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
    if (!reached_dry_end(run) || !run.error || !standard_error_taken() || failed_write())
        return;
    const std::string &out = sim::output_of(run.error);
    REQUIRE(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0);
    size_t end = out.size() - 2, start = out.rfind("\r\n", end - 1);
    start = start == std::string::npos ? 0 : start + 2;
    REQUIRE(out.compare(start, traced_line.size(), traced_line) == 0);
    start += traced_line.size();
    check_command_line(run, out.substr(start, end - start), nullptr, true);
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
        if (c.name != "SetEnvironmentVariableW" || was_failed(c.name, ++sets) ||
            !is_path_variable(c.text))
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
        REQUIRE(before.empty() ||
                (value->size() > before.size() && (*value)[before.size()] == ';'));
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
    check_trace_lines(run);
}
