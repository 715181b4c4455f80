/*
 * Fault sweeps over whole runs.  Each scenario is first run as it stands, to
 * learn its heap allocations and its writes; the allocations must be the
 * scenario's sites, in order and with their exact sizes.  Then the run is
 * repeated in a fresh world once for every allocation, with that one failing,
 * and once for every write of every such road, with that write failing or
 * accepting less.  Every run must end the way its site is designed to end,
 * hold on to nothing but the blocks that live until the process ends, and
 * never start a command with a command line or handle block that a failed
 * allocation left half built.
 */
#include "tests/unit/fixture.h"

#include "runtime/handle_table.h"
#include "runtime/stream.h"

#include <set>
#include <stdexcept>

namespace {

constexpr UINT failure_exit = 0xFFFFFFFFu;
constexpr DWORD no_handle = 0xFFFFFFFFu;
constexpr BYTE standard_flags = SLOT_OPEN | SLOT_DEVICE | SLOT_TEXT;

const char path_too_long[] = "Path too long for launcher, maximum size supported is 8192 bytes";

/* How a run ends, as seen from outside. */
struct ending {
    UINT exit_code = 0;
    std::vector<std::string> writes; /* the bytes of each WriteFile, in order */
    bool report_line = false;        /* writes are message, ": ", error text, line end */
    bool per_character = false;      /* one write per character; a failed one ends the message */
    bool after_start_up = true;      /* the main routine ran, so transient blocks must be gone */
    std::string started;             /* application name; empty when nothing starts */
    std::string block;               /* the handle inheritance block the command gets */
    std::vector<size_t> held;        /* transient blocks a successful start leaves behind */
};

/* One heap allocation of a run and what must happen when it fails. */
struct site {
    std::string name;
    size_t size;
    bool lives_until_exit;
    ending when_failed;
    size_t replacement = 0;       /* size of the smaller block taken instead, if any */
    ending when_both_fail = {};   /* when the replacement fails too */
};

/* What a scenario's world must do: its sites in allocation order and how the
   undisturbed run ends. */
struct plan {
    std::vector<site> sites;
    ending baseline;
    std::string command_text; /* the command line every start must get */
    HANDLE error_handle = nullptr;
};

ending quiet(UINT code, bool after_start_up = true)
{
    ending e;
    e.exit_code = code;
    e.after_start_up = after_start_up;
    return e;
}

ending runtime_error(const std::string &numbered_text)
{
    ending e;
    e.exit_code = 255;
    e.writes = {"\r\n", "runtime error ", numbered_text};
    e.after_start_up = false;
    return e;
}

const ending no_memory_for_arguments =
    runtime_error("R6008\r\n- not enough space for arguments\r\n");
const ending no_memory_for_environment =
    runtime_error("R6009\r\n- not enough space for environment\r\n");
const ending no_memory_for_streams =
    runtime_error("R6026\r\n- not enough space for stdio initialization\r\n");
const ending no_memory_for_handles =
    runtime_error("R6027\r\n- not enough space for lowio initialization\r\n");

ending report(const std::string &message, const std::string &text)
{
    ending e;
    e.exit_code = failure_exit;
    e.writes = {message, ": ", text, "\r\n"};
    e.report_line = true;
    return e;
}

ending bare_message(const std::string &message)
{
    ending e;
    e.exit_code = failure_exit;
    e.writes = {message};
    return e;
}

ending bare_message_per_character(const std::string &message)
{
    ending e = bare_message(message);
    e.writes.clear();
    for (char c : message)
        e.writes.push_back(std::string(1, c));
    e.per_character = true;
    return e;
}

ending started(const std::string &application, const std::string &block,
               std::vector<size_t> held)
{
    ending e;
    e.started = application;
    e.block = block;
    e.held = std::move(held);
    return e;
}

struct slot_spec {
    BYTE flags;
    DWORD handle;
};

void put_word(std::string &bytes, DWORD value)
{
    for (int i = 0; i < 4; i++)
        bytes += (char)(value >> (8 * i));
}

std::string make_block(const std::vector<slot_spec> &slots)
{
    std::string block;
    put_word(block, (DWORD)slots.size());
    for (const slot_spec &slot : slots)
        block += (char)slot.flags;
    for (const slot_spec &slot : slots)
        put_word(block, slot.handle);
    return block;
}

DWORD block_handle(HANDLE handle)
{
    return (DWORD)(uintptr_t)handle;
}

/* The block for a process whose only handle is standard error. */
std::string standard_block(HANDLE error_handle, BYTE error_flags = standard_flags)
{
    return make_block({{standard_flags, no_handle},
                       {standard_flags, no_handle},
                       {error_flags, block_handle(error_handle)}});
}

std::vector<std::string> split_words(const std::string &line)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at <= line.size()) {
        size_t space = line.find(' ', at);
        if (space == std::string::npos)
            space = line.size();
        words.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    return words;
}

/* The argument vector of a command line without quotes: the entries, the
   null entry and every word with its terminator, in one block. */
size_t argument_block_size(const std::string &line)
{
    std::vector<std::string> words = split_words(line);
    size_t size = (words.size() + 1) * sizeof(char *);
    for (const std::string &word : words)
        size += word.size() + 1;
    return size;
}

/* The joined command line of the command: its buffer holds the words, one
   byte after each, and two more. */
size_t command_line_size(const std::string &text)
{
    size_t size = 2;
    for (const std::string &word : split_words(text))
        size += word.size() + 1;
    return size;
}

std::string command_of(const std::string &line)
{
    std::vector<std::string> words = split_words(line);
    std::string text;
    for (size_t i = 2; i < words.size(); i++)
        text += (i > 2 ? " " : "") + words[i];
    return text;
}

/* The sites of start-up, read from the world as it stands. */
std::vector<site> start_up_sites(const ending &baseline, int extra_groups = 0,
                                 const ending &extra_group_failed = {})
{
    std::vector<site> sites;
    size_t group = SLOTS_PER_GROUP * sizeof(handle_slot);
    sites.push_back({"first handle group", group, true, no_memory_for_handles});
    for (int i = 0; i < extra_groups; i++)
        sites.push_back({"inherited handle group", group, true, extra_group_failed});

    /* The command line as the launcher converts it, released once split. */
    std::string line = sim::to_ansi(*sim::world().command_line, false);
    sites.push_back({"command line copy", line.size() + 1, false, no_memory_for_arguments});
    /* The strings and the closing zero; an empty block is that zero alone. */
    size_t block = 1, copied = 0;
    for (const sim::wide_text &entry : sim::world().environment) {
        block += entry.size() + 1;
        copied += entry[0] != '=';
    }
    sites.push_back({"environment block", block, false, quiet(failure_exit, false)});
    sites.push_back({"argument vector", argument_block_size(line), true, no_memory_for_arguments});
    sites.push_back({"snapshot vector", (copied + 1) * sizeof(char *), true,
                     no_memory_for_environment});
    for (const sim::wide_text &wide : sim::world().environment) {
        std::string entry = sim::to_ansi(wide, false);
        if (entry[0] != '=')
            sites.push_back({"snapshot copy of " + entry.substr(0, entry.find('=')),
                             entry.size() + 1, true, no_memory_for_environment});
    }
    site table = {"stream table", STREAM_TABLE_SIZE * sizeof(stream *), true, baseline};
    table.replacement = BUILTIN_STREAMS * sizeof(stream *);
    table.when_both_fail = no_memory_for_streams;
    sites.push_back(table);
    return sites;
}

/* The world every scenario starts from: started in C:\app\bin, a working
   directory C:\work, standard error on a console. */
HANDLE enter_common_world(const std::string &command_line,
                          const std::vector<std::string> &environment,
                          DWORD error_type = FILE_TYPE_CHAR)
{
    sim::add_directory("C:\\app\\bin");
    sim::add_directory("C:\\work");
    sim::world().current_directory = "C:\\app\\bin";
    sim::world().command_line = command_line;
    sim::world().environment.assign(environment.begin(), environment.end());
    return sim::set_std_handle(STD_ERROR_HANDLE, error_type);
}

/* Composed in UTF-16 units. */
size_t path_value_size(const std::string &path)
{
    return (path.size() + std::string("C:\\app\\bin").size() + 9) * sizeof(WCHAR);
}

site path_value_site(const std::string &path)
{
    return {"new PATH value", path_value_size(path), false,
            report("Environment allocation failed", "No error")};
}

site prefixed_name_site(const std::string &name)
{
    return {"prefixed name", name.size() + 3, false, report("Exec Failed", "No error")};
}

/* The probing buffer holds the file name and room for an extension. */
site probe_site(const std::string &file, const ending &when_failed)
{
    return {"probing buffer for " + file, file.size() + 5, false, when_failed};
}

site candidate_site()
{
    return {"PATH candidate buffer", 260, false,
            report("Exec Failed", "No such file or directory")};
}

std::vector<site> start_sites(const std::string &command_text, size_t described_slots)
{
    ending no_space = report("Exec Failed", "Not enough space");
    return {{"command line", command_line_size(command_text), false, no_space},
            {"handle inheritance block", 5 * described_slots + 4, false, no_space}};
}

void append(std::vector<site> &sites, const std::vector<site> &more)
{
    sites.insert(sites.end(), more.begin(), more.end());
}

plan no_arguments()
{
    plan p;
    p.error_handle = enter_common_world("launcher", {"PATH=C:\\bin", "=C:=C:\\app\\bin", "TEMP=C:\\temp"});
    p.baseline = quiet(failure_exit);
    p.sites = start_up_sites(p.baseline);
    return p;
}

plan only_a_directory()
{
    plan p;
    p.error_handle = enter_common_world("launcher C:\\work", {"PATH=C:\\bin", "=C:=C:\\app\\bin"});
    p.baseline = quiet(0);
    p.sites = start_up_sites(p.baseline);
    p.sites.push_back(path_value_site("C:\\bin"));
    return p;
}

/* The message waits in one buffer: the lent temporary one on a console, the
   stream's own on a file. */
plan path_too_long_with_error_on(DWORD error_type, const char *buffer)
{
    plan p;
    p.error_handle = enter_common_world("launcher C:\\work tool",
                                        {"PATH=" + std::string(8192, 'x')}, error_type);
    p.baseline = bare_message(path_too_long);
    p.sites = start_up_sites(p.baseline);
    p.sites.push_back({buffer, STREAM_BUFFER_SIZE, true, bare_message_per_character(path_too_long)});
    return p;
}

plan path_too_long_on_console()
{
    return path_too_long_with_error_on(FILE_TYPE_CHAR, "temporary buffer");
}

plan path_too_long_in_file()
{
    return path_too_long_with_error_on(FILE_TYPE_DISK, "error stream buffer");
}

plan found_in_working_directory()
{
    plan p;
    std::string line = "launcher C:\\work tool -v";
    p.error_handle = enter_common_world(line, {"PATH=C:\\bin", "=C:=C:\\app\\bin"});
    sim::add_file("C:\\work\\tool.exe");
    p.command_text = command_of(line);
    std::string block = standard_block(p.error_handle);
    p.baseline = started(".\\tool.exe", block, {7, 11, command_line_size(p.command_text)});
    p.sites = start_up_sites(p.baseline);
    p.sites.push_back(path_value_site("C:\\bin"));
    p.sites.push_back(prefixed_name_site("tool"));
    p.sites.push_back(probe_site(".\\tool", report("Exec Failed", "No error")));
    append(p.sites, start_sites(p.command_text, 3));
    return p;
}

/* The command is in the second and third PATH directories: a probe that
   cannot be allocated in one directory leaves "not found" standing, so the
   walk goes on to the next. */
plan found_through_path()
{
    plan p;
    std::string line = "launcher C:\\work tool -v";
    std::string path = "C:\\tools;C:\\bin;C:\\opt";
    p.error_handle = enter_common_world(line, {"TEMP=C:\\temp", "PATH=" + path});
    sim::add_directory("C:\\tools");
    sim::add_file("C:\\bin\\tool.bat");
    sim::add_file("C:\\opt\\tool.exe");
    p.command_text = command_of(line);
    std::string block = standard_block(p.error_handle);
    size_t command = command_line_size(p.command_text);
    p.baseline = started("C:\\bin\\tool.bat", block, {260, 16, command});
    ending not_found = report("Exec Failed", "No such file or directory");
    p.sites = start_up_sites(p.baseline);
    p.sites.push_back(path_value_site(path));
    p.sites.push_back(prefixed_name_site("tool"));
    p.sites.push_back(probe_site(".\\tool", report("Exec Failed", "No error")));
    p.sites.push_back(candidate_site());
    p.sites.push_back(probe_site("C:\\tools\\tool", p.baseline));
    p.sites.push_back(probe_site("C:\\bin\\tool", started("C:\\opt\\tool.exe", block, {260, 16, command})));
    append(p.sites, start_sites(p.command_text, 3));
    return p;
}

/* Without the byte comparison every name comparison widens both names, two
   allocations each; a comparison that cannot be made is a mismatch. */
plan found_through_path_comparing_wide()
{
    plan p;
    std::string line = "launcher C:\\work tool";
    p.error_handle = enter_common_world(line, {"TEMP=C:\\temp", "PATH=C:\\bin"});
    sim::world().compare_a_missing = true;
    sim::add_file("C:\\bin\\tool.exe");
    p.command_text = command_of(line);
    p.baseline = started("C:\\bin\\tool.exe", standard_block(p.error_handle),
                         {260, 16, command_line_size(p.command_text)});
    ending path_missed = report("Exec Failed", "No such file or directory");
    size_t wide_name = 4 * sizeof(WCHAR);
    p.sites = start_up_sites(p.baseline);
    p.sites.push_back(path_value_site("C:\\bin"));
    p.sites.push_back(prefixed_name_site("tool"));
    p.sites.push_back(probe_site(".\\tool", report("Exec Failed", "No error")));
    p.sites.push_back({"wide TEMP", wide_name, false, p.baseline});
    p.sites.push_back({"wide PATH against TEMP", wide_name, false, p.baseline});
    p.sites.push_back({"wide PATH", wide_name, false, path_missed});
    p.sites.push_back({"wide PATH against PATH", wide_name, false, path_missed});
    p.sites.push_back(candidate_site());
    p.sites.push_back(probe_site("C:\\bin\\tool", path_missed));
    append(p.sites, start_sites(p.command_text, 3));
    return p;
}

plan not_found()
{
    plan p;
    std::string line = "launcher C:\\work tool";
    p.error_handle = enter_common_world(line, {"PATH=C:\\bin;C:\\opt"});
    sim::add_directory("C:\\bin");
    p.baseline = report("Exec Failed", "No such file or directory");
    p.sites = start_up_sites(p.baseline);
    p.sites.push_back(path_value_site("C:\\bin;C:\\opt"));
    p.sites.push_back(prefixed_name_site("tool"));
    p.sites.push_back(probe_site(".\\tool", report("Exec Failed", "No error")));
    p.sites.push_back(candidate_site());
    p.sites.push_back(probe_site("C:\\bin\\tool", p.baseline));
    p.sites.push_back(probe_site("C:\\opt\\tool", p.baseline));
    return p;
}

/* A parent passed 40 slots: the standard three on consoles, a pipe at 35, a
   slot kept from children at 36 and an open slot without a handle at 37.  A
   second group that cannot be had leaves the table at 32 slots, and the
   command then gets the standard three only. */
plan inherited_block()
{
    plan p;
    std::string line = "launcher C:\\work tool";
    p.error_handle = enter_common_world(line, {"PATH=C:\\bin"});
    sim::add_file("C:\\work\\tool.exe");
    HANDLE input = sim::add_handle(FILE_TYPE_CHAR);
    HANDLE output = sim::add_handle(FILE_TYPE_CHAR);
    HANDLE pipe = sim::add_handle(FILE_TYPE_PIPE);
    HANDLE file = sim::add_handle(FILE_TYPE_DISK);
    std::vector<slot_spec> given(40, {0, no_handle});
    given[0] = {SLOT_OPEN | SLOT_DEVICE, block_handle(input)};
    given[1] = {SLOT_OPEN | SLOT_DEVICE, block_handle(output)};
    given[2] = {SLOT_OPEN | SLOT_DEVICE, block_handle(p.error_handle)};
    given[35] = {SLOT_OPEN | SLOT_PIPE, block_handle(pipe)};
    given[36] = {SLOT_OPEN | SLOT_NO_INHERIT, block_handle(file)};
    given[37] = {SLOT_OPEN, no_handle};
    std::string bytes = make_block(given);
    sim::world().startup_block = std::vector<BYTE>(bytes.begin(), bytes.end());

    std::vector<slot_spec> passed(given.begin(), given.begin() + 37);
    for (int i = 0; i < 3; i++)
        passed[i].flags |= SLOT_TEXT;
    passed[36] = {0, no_handle};
    std::vector<slot_spec> standard_only(passed.begin(), passed.begin() + 3);
    p.command_text = command_of(line);
    std::vector<size_t> held = {7, 11, command_line_size(p.command_text)};
    p.baseline = started(".\\tool.exe", make_block(passed), held);
    p.sites = start_up_sites(p.baseline, 1, started(".\\tool.exe", make_block(standard_only), held));
    p.sites.push_back(path_value_site("C:\\bin"));
    p.sites.push_back(prefixed_name_site("tool"));
    p.sites.push_back(probe_site(".\\tool", report("Exec Failed", "No error")));
    append(p.sites, start_sites(p.command_text, 37));
    return p;
}

struct scenario {
    const char *name;
    plan (*build)();
};

void PrintTo(const scenario &s, std::ostream *out)
{
    *out << s.name;
}

const scenario scenarios[] = {
    {"no_arguments", no_arguments},
    {"only_a_directory", only_a_directory},
    {"path_too_long_on_console", path_too_long_on_console},
    {"path_too_long_in_file", path_too_long_in_file},
    {"found_in_working_directory", found_in_working_directory},
    {"found_through_path", found_through_path},
    {"found_through_path_comparing_wide", found_through_path_comparing_wide},
    {"not_found", not_found},
    {"inherited_block", inherited_block},
};

/* How one WriteFile is disturbed, and the error text a report line then
   shows when the disturbed write was its message or ": ". */
struct write_fault_kind {
    const char *name;
    bool fails;
    DWORD error;
    bool accepts_half;
    const char *text_after;
};

const write_fault_kind write_fault_kinds[] = {
    {"fails with disk full", true, ERROR_DISK_FULL, false, "No space left on device"},
    {"fails with access denied", true, ERROR_ACCESS_DENIED, false, "Bad file descriptor"},
    {"accepts half", false, 0, true, "No space left on device"},
    {"accepts nothing", false, 0, false, "No space left on device"},
};

struct write_fault {
    int occurrence; /* 0: no write is disturbed */
    const write_fault_kind *kind;
    DWORD accepted;
};

struct run_record {
    sim::exit_signal end;
    std::vector<std::string> writes;
    std::string output;
    std::vector<sim::process_start> starts;
    std::vector<size_t> allocations;
    std::multiset<size_t> live;
    int bad_frees;
    std::vector<std::string> handle_faults;
};

run_record run_in_fresh_world(const scenario &s, plan &p, const std::vector<int> &failing_allocations,
                              const write_fault &disturbed = {0, nullptr, 0})
{
    sim::reset();
    reset_launcher_state();
    p = s.build();
    for (int k : failing_allocations)
        sim::fail_allocation(k);
    if (disturbed.occurrence && disturbed.kind->fails)
        sim::fail_write(disturbed.occurrence, disturbed.kind->error);
    else if (disturbed.occurrence)
        sim::short_write(disturbed.occurrence, disturbed.accepted);

    run_record r;
    r.end = run_whole_program();
    r.writes = written_chunks();
    r.output = sim::output_of(p.error_handle);
    r.starts = sim::world().starts;
    for (const sim::call &c : sim::calls_named("HeapAlloc"))
        r.allocations.push_back((size_t)c.args[2]);
    for (const auto &block : sim::world().live_blocks)
        r.live.insert(block.second);
    r.bad_frees = sim::world().bad_frees;
    r.handle_faults = sim::handle_faults();
    return r;
}

bool contains(const std::vector<int> &values, size_t value)
{
    for (int v : values)
        if ((size_t)v == value)
            return true;
    return false;
}

/* Start-up blocks live until the process ends, whatever happens later;
   every other block must be gone on a failure road, and on a successful
   start only the buffers of the attempt that started are left. */
std::multiset<size_t> expected_live(const plan &p, const std::vector<int> &failing, const ending &e)
{
    std::multiset<size_t> live;
    for (size_t i = 0; i < p.sites.size(); i++) {
        const site &s = p.sites[i];
        bool failed = contains(failing, i + 1);
        if (s.lives_until_exit && !failed)
            live.insert(s.size);
        if (failed && s.replacement && !contains(failing, i + 2))
            live.insert(s.replacement);
    }
    live.insert(e.held.begin(), e.held.end());
    return live;
}

std::string join(const std::vector<std::string> &pieces)
{
    std::string joined;
    for (const std::string &piece : pieces)
        joined += piece;
    return joined;
}

/* What a run with one disturbed write attempts and what reaches the handle. */
void disturb(const ending &e, const write_fault &w, std::vector<std::string> &attempted,
             std::string &output)
{
    attempted = e.writes;
    output.clear();
    if (!w.occurrence) {
        output = join(attempted);
        return;
    }
    size_t j = (size_t)w.occurrence - 1;
    bool leaves_error = w.accepted == 0;
    if (e.report_line && j < 2 && leaves_error)
        attempted[2] = w.kind->text_after;
    if (e.per_character && leaves_error)
        attempted.resize(j + 1);
    for (size_t i = 0; i < attempted.size(); i++)
        output += i == j ? attempted[i].substr(0, w.accepted) : attempted[i];
}

void check_run(const run_record &r, const plan &p, const ending &e, const std::vector<int> &failing,
               const write_fault &disturbed = {0, nullptr, 0})
{
    std::vector<std::string> attempted;
    std::string output;
    disturb(e, disturbed, attempted, output);
    EXPECT_EQ(r.end.code, e.exit_code);
    EXPECT_FALSE(r.end.terminated);
    EXPECT_EQ(r.writes, attempted);
    EXPECT_EQ(r.output, output);
    EXPECT_EQ(r.bad_frees, 0);
    EXPECT_EQ(r.handle_faults, std::vector<std::string>{});
    for (const sim::process_start &start : r.starts) {
        EXPECT_EQ(start.command_line, p.command_text);
        EXPECT_EQ(start.block, e.block);
        EXPECT_EQ(start.block_size, e.block.size());
    }
    if (e.started.empty()) {
        EXPECT_TRUE(r.starts.empty());
    } else {
        EXPECT_EQ(r.starts.size(), 1u);
        if (!r.starts.empty()) {
            EXPECT_EQ(r.starts.back().application, e.started);
        }
    }
    if (e.after_start_up) {
        EXPECT_EQ(r.live, expected_live(p, failing, e));
    }
}

std::string describe(const plan &p, const std::vector<int> &failing)
{
    std::string text = "failing allocation";
    for (int k : failing)
        text += " " + std::to_string(k) + " (" +
                ((size_t)k <= p.sites.size() ? p.sites[k - 1].name : std::string("beyond the sites")) + ")";
    return failing.empty() ? "no failing allocation" : text;
}

class fault_sweep : public testing::TestWithParam<scenario> {};

TEST_P(fault_sweep, undisturbed_run_allocates_exactly_its_sites)
{
    plan p;
    run_record r = run_in_fresh_world(GetParam(), p, {});
    std::vector<size_t> sizes;
    for (const site &s : p.sites)
        sizes.push_back(s.size);
    EXPECT_EQ(r.allocations, sizes);
    check_run(r, p, p.baseline, {});
}

TEST_P(fault_sweep, every_failed_allocation_ends_as_its_site_is_designed)
{
    plan p;
    size_t total = run_in_fresh_world(GetParam(), p, {}).allocations.size();
    ASSERT_EQ(total, p.sites.size()) << "the sites do not describe the undisturbed run";
    for (size_t k = 1; k <= total; k++) {
        std::vector<int> failing = {(int)k};
        run_record r = run_in_fresh_world(GetParam(), p, failing);
        SCOPED_TRACE(describe(p, failing));
        check_run(r, p, p.sites[k - 1].when_failed, failing);
        if (!p.sites[k - 1].replacement)
            continue;
        failing.push_back((int)k + 1);
        r = run_in_fresh_world(GetParam(), p, failing);
        SCOPED_TRACE(describe(p, failing));
        check_run(r, p, p.sites[k - 1].when_both_fail, failing);
    }
}

/* Every road, the undisturbed one and each with one failed allocation, with
   each of its writes disturbed in turn in every way. */
TEST_P(fault_sweep, every_disturbed_write_ends_as_designed)
{
    plan p;
    size_t total = run_in_fresh_world(GetParam(), p, {}).allocations.size();
    ASSERT_EQ(total, p.sites.size()) << "the sites do not describe the undisturbed run";
    for (size_t k = 0; k <= total; k++) {
        std::vector<int> failing;
        if (k)
            failing.push_back((int)k);
        const ending e = k ? p.sites[k - 1].when_failed : p.baseline;
        size_t writes = run_in_fresh_world(GetParam(), p, failing).writes.size();
        ASSERT_EQ(writes, e.writes.size()) << describe(p, failing);
        for (size_t j = 1; j <= writes; j++) {
            for (const write_fault_kind &kind : write_fault_kinds) {
                DWORD accepted = kind.accepts_half ? (DWORD)(e.writes[j - 1].size() / 2) : 0;
                write_fault disturbed = {(int)j, &kind, accepted};
                run_record r = run_in_fresh_world(GetParam(), p, failing, disturbed);
                SCOPED_TRACE(describe(p, failing) + ", write " + std::to_string(j) + " " + kind.name);
                check_run(r, p, e, failing, disturbed);
            }
        }
    }
}

std::string scenario_name(const testing::TestParamInfo<scenario> &info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(whole_runs, fault_sweep, testing::ValuesIn(scenarios), scenario_name);

/* A fault for a name no simulated call takes faults for would inject
   nothing and let its test pass: it is refused at once. */
TEST_F(launcher_test, a_fault_for_a_misspelt_call_is_refused)
{
    EXPECT_THROW(sim::fail_call("CreateProcesA", 1, FALSE, ERROR_ACCESS_DENIED),
                 std::invalid_argument);
    EXPECT_NO_THROW(sim::fail_call("CreateProcessA", 1, FALSE, ERROR_ACCESS_DENIED));
}

} // namespace
