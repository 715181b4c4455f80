/*
 * The command search over any name, any PATH value and a file system made
 * from the candidates themselves.
 *
 * Input: an options byte, the name up to a line feed, the PATH value up to a
 * line feed, then pairs of bytes that each make one of the candidates exist:
 * which candidate (of those probed when nothing exists) and as what (a file
 * that starts, a directory, a file that is not a program, a file gone by the
 * time it starts).  Options: bit 0 uses code page 932, bit 1 leaves PATH out
 * of the snapshot, bit 2 names it "Path", bit 3 puts near-miss variables in
 * front of it.
 *
 * The files probed, in order, and the starts attempted must be those of the
 * reference search below, which follows the documented rules step by step;
 * a candidate built from a PATH entry must stay shorter than 260 characters
 * before its extension; the error number left must be the last attempt's;
 * and a search that gives up must have released every buffer it took.
 */
#include "exec/exec.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/launcher_state.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

enum { CODE_PAGE_932 = 0x01, NO_PATH = 0x02, MIXED_CASE = 0x04, NEAR_MISSES = 0x08 };
enum { STARTS, DIRECTORY, NOT_A_PROGRAM, GONE };

const char *const extensions[] = {".com", ".exe", ".bat", ".cmd"};

/* The character searches, over the text taken as characters. */
std::optional<size_t> find_first(const std::string &text, char c)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (lead_bytes[(uint8_t)text[i]]) {
            if (i + 1 == text.size())
                return std::nullopt;
            i++;
        } else if (text[i] == c) {
            return i;
        }
    }
    return std::nullopt;
}

/* A cut double-byte character at the end, with no match before it, counts
   as a match at the terminator. */
std::optional<size_t> find_last(const std::string &text, char c)
{
    std::optional<size_t> last;
    for (size_t i = 0; i < text.size(); i++) {
        if (lead_bytes[(uint8_t)text[i]]) {
            if (i + 1 == text.size())
                return last ? last : std::optional<size_t>(text.size());
            i++;
        } else if (text[i] == c) {
            last = i;
        }
    }
    return last;
}

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

struct probe {
    std::string path;
    size_t candidate_length; /* as built, before any ".\\" and extension */
    bool from_path;
};

/* The search as documented, against an oracle of what exists and what
   starts. */
struct reference_search {
    bool (*exists)(const std::string &);
    int (*start_error)(const std::string &); /* 0 when the start succeeds */
    std::vector<probe> probes;
    std::vector<std::string> starts;
    bool started = false;
    int error = 0;
    bool in_walk = false;

    reference_search(bool (*exists_)(const std::string &), int (*start_error_)(const std::string &))
        : exists(exists_), start_error(start_error_)
    {
    }

    /* A name no file can have fails its lookup as an invalid name (123),
       whatever exists. */
    bool invalid_name = false;

    bool check(const std::string &path, size_t candidate_length)
    {
        probes.push_back({path, candidate_length, in_walk});
        invalid_name = std::any_of(path.begin(), path.end(), [](unsigned char c) {
            return c < 0x20 || std::strchr("\"<>|*?", c);
        });
        if (invalid_name) {
            error = INVALID_ARGUMENT;
            return false;
        }
        if (exists(path))
            return true;
        error = NO_SUCH_FILE;
        return false;
    }

    void start(const std::string &file)
    {
        starts.push_back(file);
        error = start_error(file);
        started = error == 0;
        invalid_name = false;
    }

    void try_file(std::string file)
    {
        size_t candidate_length = file.size();
        std::optional<size_t> back = find_last(file, '\\'), forward = find_last(file, '/');
        std::optional<size_t> component;
        if (back && forward)
            component = std::max(*back, *forward);
        else
            component = back ? back : forward;
        if (!component)
            component = find_first(file, ':');
        if (!component) {
            file = ".\\" + file;
            component = 2;
        }
        if (find_last(file.substr(*component), '.')) {
            if (check(file, candidate_length))
                start(file);
            return;
        }
        for (const char *extension : extensions) {
            if (check(file + extension, candidate_length)) {
                start(file + extension);
                return;
            }
        }
    }

    bool ends_in_separator(const std::string &directory)
    {
        if (directory.empty())
            return false;
        char last = directory.back();
        return last == '/' || (last == '\\' && find_last(directory, '\\') == directory.size() - 1);
    }

    void walk(const std::string &name, const std::string &path)
    {
        in_walk = true;
        size_t at = 0;
        for (;;) {
            size_t end = path.find(';', at);
            if (end == std::string::npos)
                end = path.size();
            /* An entry that does not fit whole is never cut: it ends the walk. */
            if (end - at > 258)
                return;
            std::string directory = path.substr(at, end - at);
            at = end;
            if (!ends_in_separator(directory))
                directory += '\\';
            if (name.size() + directory.size() >= 260)
                return;
            std::string candidate = directory + name;
            try_file(candidate);
            if (started)
                return;
            /* A malformed entry is passed over like a missing one. */
            if (error == INVALID_ARGUMENT && invalid_name)
                error = NO_SUCH_FILE;
            if (error != NO_SUCH_FILE && !(is_separator(candidate[0]) && is_separator(candidate[1])))
                return;
            if (at == path.size())
                return;
            at++;
        }
    }

    void search(const std::string &name, const std::optional<std::string> &path)
    {
        try_file(name);
        if (started || error != NO_SUCH_FILE)
            return;
        if (find_first(name, '\\') || find_first(name, '/'))
            return;
        if (!name.empty() && name[1] == ':')
            return;
        if (path)
            walk(name, *path);
    }
};

bool exists_nowhere(const std::string &)
{
    return false;
}

int never_starts(const std::string &)
{
    return NO_SUCH_FILE;
}

bool exists_in_world(const std::string &path)
{
    return sim::world().files.count(sim::key_of(path)) != 0;
}

/* As the simulated platform refuses a start. */
int start_error_in_world(const std::string &file)
{
    std::string key = sim::key_of(file);
    auto marked = sim::world().start_errors.find(key);
    if (marked != sim::world().start_errors.end())
        return marked->second == ERROR_BAD_EXE_FORMAT ? EXEC_FORMAT_ERROR : NO_SUCH_FILE;
    return sim::world().files.at(key) & FILE_ATTRIBUTE_DIRECTORY ? PERMISSION_DENIED : 0;
}

void make_exist(const std::string &path, int kind)
{
    std::string key = sim::key_of(path);
    sim::world().files[key] = kind == DIRECTORY ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (kind == NOT_A_PROGRAM)
        sim::world().start_errors[key] = ERROR_BAD_EXE_FORMAT;
    else if (kind == GONE)
        sim::world().start_errors[key] = ERROR_FILE_NOT_FOUND;
}

/* The snapshot the search reads PATH from; the strings outlive the run. */
std::vector<std::string> snapshot_strings;
std::vector<char *> snapshot_entries;

void set_snapshot(uint8_t options, const std::string &path)
{
    snapshot_strings.clear();
    if (options & NEAR_MISSES) {
        snapshot_strings.push_back("PAT=C:\\near");
        snapshot_strings.push_back("PATHS=C:\\near");
        snapshot_strings.push_back("XPATH=C:\\near");
        snapshot_strings.push_back("PATX=C:\\near");
    }
    if (!(options & NO_PATH))
        snapshot_strings.push_back(std::string(options & MIXED_CASE ? "Path" : "PATH") + "=" + path);
    snapshot_entries.clear();
    for (std::string &s : snapshot_strings)
        snapshot_entries.push_back(s.data());
    snapshot_entries.push_back(nullptr);
    environment_snapshot = snapshot_entries.data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input_reader in(data, size);
    uint8_t options = in.take_byte();
    std::string name = in.take_line();
    std::string path = in.take_line();
    if (name.find('\0') != std::string::npos || path.find('\0') != std::string::npos)
        return 0;

    enter_fresh_world();
    if (options & CODE_PAGE_932)
        use_code_page_932();
    sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_CHAR);
    sim::add_directory("C:\\work");
    sim::world().current_directory = "C:\\work";
    create_heap();
    init_handle_table();
    init_lead_bytes();
    set_snapshot(options, path);
    std::optional<std::string> path_value;
    if (!(options & NO_PATH))
        path_value = path;

    reference_search everything(exists_nowhere, never_starts);
    everything.search(name, path_value);
    while (!in.empty() && !everything.probes.empty()) {
        size_t which = in.take_byte() % everything.probes.size();
        make_exist(everything.probes[which].path, in.take_byte() % 4);
    }
    reference_search expected(exists_in_world, start_error_in_world);
    expected.search(name, path_value);

    std::string argument = "-v";
    char *arguments[] = {argument.data(), nullptr};
    command_words words = {name.data(), arguments};
    size_t live_before = sim::live_allocations();
    bool ended = false;
    try {
        command_search search = make_search(words);
        REQUIRE(finish_if_started(exec_search_path(name.c_str(), &search), &search) == -1);
    } catch (const sim::exit_signal &end) {
        REQUIRE(end.code == 0 && !end.terminated);
        ended = true;
    }

    std::vector<sim::call> probed = sim::calls_named("GetFileAttributesA");
    REQUIRE(probed.size() == expected.probes.size());
    for (size_t i = 0; i < probed.size(); i++) {
        REQUIRE(probed[i].text == expected.probes[i].path);
        size_t added = expected.probes[i].path.size() - expected.probes[i].candidate_length;
        if (expected.probes[i].from_path)
            REQUIRE(probed[i].text.size() - added < 260);
    }
    const std::vector<sim::process_start> &starts = sim::world().starts;
    REQUIRE(starts.size() == expected.starts.size());
    for (size_t i = 0; i < starts.size(); i++) {
        REQUIRE(starts[i].application == expected.starts[i]);
        REQUIRE(starts[i].command_line == name + " -v");
    }
    REQUIRE(ended == expected.started);
    if (!ended) {
        REQUIRE(error_number == expected.error);
        REQUIRE(sim::live_allocations() == live_before);
        REQUIRE(sim::world().bad_frees == 0);
    }
    return 0;
}
