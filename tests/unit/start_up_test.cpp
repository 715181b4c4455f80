/* Start-up: argument splitting, handle table, lead bytes, environment,
   streams, the exits and the run-time errors. */
#include "tests/unit/fixture.h"

#include "runtime/arguments.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/exit.h"
#include "runtime/fault.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/stream.h"

#include <cstring>
#include <memory>

namespace {

/* Splits a text placed at the very end of an exact-size allocation, so that
   a read past its terminator is caught, and checks that counting and
   filling agree. */
std::vector<std::string> split(const std::string &text)
{
    std::unique_ptr<char[]> exact(new char[text.size() + 1]);
    std::memcpy(exact.get(), text.c_str(), text.size() + 1);
    split_result counts = parse_command_line(exact.get(), nullptr, nullptr);
    std::vector<char *> entries(counts.entry_count, nullptr);
    std::vector<char> strings(counts.byte_count);
    split_result filled = parse_command_line(exact.get(), entries.data(), strings.data());
    EXPECT_EQ(filled.entry_count, counts.entry_count) << text;
    EXPECT_EQ(filled.byte_count, counts.byte_count) << text;
    EXPECT_EQ(entries.back(), nullptr) << text;
    std::vector<std::string> arguments;
    size_t bytes = 0;
    for (size_t i = 0; i + 1 < entries.size(); i++) {
        arguments.push_back(entries[i]);
        bytes += arguments.back().size() + 1;
    }
    EXPECT_EQ(bytes, counts.byte_count) << text;
    return arguments;
}

struct split_case {
    std::string line;
    std::vector<std::string> arguments;
};

using strings = std::vector<std::string>;

TEST_F(launcher_test, command_lines_split_by_the_quoting_and_backslash_rules)
{
    const split_case cases[] = {
        {"launcher work cmd /x", {"launcher", "work", "cmd", "/x"}},
        {"\"D:\\Program Files\\tools\\launcher.exe\" work cmd",
         {"D:\\Program Files\\tools\\launcher.exe", "work", "cmd"}},
        {"\"a b\"c d", {"a b", "c", "d"}},
        {"\"D:\\dir\\\"x y", {"D:\\dir\\", "x", "y"}},
        {"x\"y z", {"x\"y", "z"}},
        {"p \"a b\" c", {"p", "a b", "c"}},
        {"p a\"b c\"d", {"p", "ab cd"}},
        {"p \"a\"\"b c\"", {"p", "a\"b", "c"}},
        {"p \"a\"\" b\"", {"p", "a\"", "b"}},
        {"p \"\"\"\"", {"p", "\""}},
        {"p \"\" x", {"p", "", "x"}},
        {"p a\"\"b", {"p", "ab"}},
        {"p a\\\\b", {"p", "a\\\\b"}},
        {"p a\\\"b", {"p", "a\"b"}},
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p \"D:\\dir\\\\\" x", {"p", "D:\\dir\\", "x"}},
        {"p \"D:\\dir\\\" x", {"p", "D:\\dir\" x"}},
        {"p \"open end", {"p", "open end"}},
        {"p a\\", {"p", "a\\"}},
        {"p\t\ta \t b  ", {"p", "a", "b"}},
        {"p \"a\tb\"", {"p", "a\tb"}},
        {"p a\r\nb", {"p", "a\r\nb"}},
        {"", {""}},
        {"\"\"", {""}},
        {"  p", {"", "p"}},
        {"\"unclosed name", {"unclosed name"}},
    };
    for (const split_case &c : cases)
        EXPECT_EQ(split(c.line), c.arguments) << c.line;
}

/* What a named launcher passes on: the text after the program name, as the
   C runtimes end it, and the blanks that follow it, as it stands. */
TEST_F(launcher_test, the_argument_tail_is_the_text_after_the_program_name)
{
    const std::pair<std::string, std::string> cases[] = {
        {"app a \"b c\" d\\\"e", "a \"b c\" d\\\"e"},
        {"\"C:\\My App\\app.exe\" x", "x"},
        /* quotes toggle; the name ends at a blank outside them */
        {"\"C:\\My App\\app.exe\"x y", "y"},
        {"\"C:\\tools\"\\tool.exe --fix x.c", "--fix x.c"},
        {"app\t \t\"a\"\t", "\"a\"\t"},
        {"app   ", ""},
        {"app", ""},
        {"", ""},
        {"\"unclosed name", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(find_argument_tail(c.first.c_str()), c.second) << c.first;
}

TEST_F(launcher_test, double_byte_characters_are_never_quotes_backslashes_or_blanks)
{
    sim::world().acp = 932;
    init_lead_bytes();
    const split_case cases[] = {
        /* the second byte has the value of a quote: the name goes on */
        {"\"ab\x81\x22\x63\" d", {"ab\x81\x22\x63", "d"}},
        /* the second byte has the value of a backslash before a quote */
        {"p \x95\x5c\"a b\"", {"p", "\x95\x5c" "a b"}},
        {"p \"x\x81\x22 y\" z", {"p", "x\x81\x22 y", "z"}},
        {"p \x95\x5c\x95\x5c\"q\"", {"p", "\x95\x5c\x95\x5cq"}},
        /* a double-byte character whose second byte is a blank's value */
        {"p \x81\x20x y", {"p", "\x81\x20x", "y"}},
        /* a lead byte as the last byte stays, and nothing past it is read */
        {"p a\x81", {"p", "a\x81"}},
        {"\"ab\x81", {"ab\x81"}},
        {"ab\x81", {"ab\x81"}},
        {"p \"a\x81", {"p", "a\x81"}},
    };
    for (const split_case &c : cases)
        EXPECT_EQ(split(c.line), c.arguments) << c.line;
}

TEST_F(launcher_test, the_argument_vector_is_one_exact_allocation)
{
    create_heap();
    int allocations = sim::world().allocations;
    build_argument_vector("launcher \"a b\" c");
    ASSERT_EQ(sim::world().allocations, allocations + 1);
    EXPECT_EQ(sim::calls_named("HeapAlloc").back().args[2],
              4 * sizeof(char *) + sizeof("launcher") + sizeof("a b") + sizeof("c"));
    ASSERT_EQ(argument_count, 3);
    EXPECT_STREQ(argument_vector[0], "launcher");
    EXPECT_STREQ(argument_vector[1], "a b");
    EXPECT_STREQ(argument_vector[2], "c");
    EXPECT_EQ(argument_vector[3], nullptr);
}

TEST_F(launcher_test, an_empty_command_line_splits_the_module_path_instead)
{
    sim::world().module_path = "C:\\Program Files\\app\\launcher.exe";
    create_heap();
    build_argument_vector("");
    ASSERT_EQ(argument_count, 2);
    EXPECT_STREQ(argument_vector[0], "C:\\Program");
    EXPECT_STREQ(argument_vector[1], "Files\\app\\launcher.exe");

    /* A path longer than the 260 bytes asked for, cut as Windows XP cuts
       it, with no terminator of its own. */
    for (bool unterminated : {false, true}) {
        SetUp();
        sim::world().module_path = "C:\\" + std::string(300, 'p');
        sim::world().module_path_unterminated = unterminated;
        create_heap();
        build_argument_vector("");
        ASSERT_EQ(argument_count, 1);
        EXPECT_EQ(std::string(argument_vector[0]),
                  "C:\\" + std::string(unterminated ? 257 : 256, 'p'));
    }

    SetUp();
    sim::fail_call("GetModuleFileNameA", 1, 0, ERROR_INVALID_HANDLE);
    create_heap();
    build_argument_vector("");
    ASSERT_EQ(argument_count, 1);
    EXPECT_STREQ(argument_vector[0], "");
}

/* Handle table */

/* Handles of 4 bytes, as a 32-bit parent writes them, or of 8 (a 4-byte
   value sign-extended), as a 64-bit one does. */
std::vector<BYTE> make_block(int32_t n, const std::vector<BYTE> &flags,
                             const std::vector<uint32_t> &handles, int width = 4)
{
    std::vector<BYTE> block(4);
    std::memcpy(block.data(), &n, 4);
    block.insert(block.end(), flags.begin(), flags.end());
    for (uint32_t handle : handles) {
        uint64_t value = (uint64_t)(int64_t)(int32_t)handle;
        for (int i = 0; i < width; i++)
            block.push_back((BYTE)(value >> (8 * i)));
    }
    return block;
}

uint32_t value_of(HANDLE handle)
{
    return (uint32_t)(uintptr_t)handle;
}

struct standard_case {
    std::string name;
    bool present = true;   /* the platform has a standard output handle */
    DWORD type = 0;        /* its type, as GetFileType tells it */
    BYTE flags = 0;        /* slot 1's flags */
    bool keeps_handle = false; /* slot 1 holds the handle, else none */
};

/* ctest shows the row's name beside its case's. */
void PrintTo(const standard_case &row, std::ostream *out)
{
    *out << row.name;
}

/* A row of the table, its fields by name. */
class row {
public:
    explicit row(const char *name) { standard.name = name; }
    operator const standard_case &() const { return standard; }
    row &absent() { standard.present = false; return *this; }
    row &type(DWORD value) { standard.type = value; return *this; }
    row &flags(BYTE value) { standard.flags = value; return *this; }
    row &keeps_handle() { standard.keeps_handle = true; return *this; }

private:
    standard_case standard;
};

const standard_case standard_cases[] = {
    row("console").type(FILE_TYPE_CHAR).flags(0xC1).keeps_handle(),
    row("disk file").type(FILE_TYPE_DISK).flags(0x81).keeps_handle(),
    row("pipe").type(FILE_TYPE_PIPE).flags(0x89).keeps_handle(),
    row("type with high bits").type(0x8002).flags(0xC1).keeps_handle(),
    row("type unknown").type(FILE_TYPE_UNKNOWN).flags(0xC1),
    row("no handle").absent().flags(0xC1),
};

class standard_slot_test : public launcher_test,
                           public testing::WithParamInterface<standard_case> {};

TEST_P(standard_slot_test, is_flagged_by_the_type_of_its_handle)
{
    const standard_case &c = GetParam();
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (c.present)
        handle = sim::set_std_handle(STD_OUTPUT_HANDLE, c.type);
    else
        sim::world().std_handles.erase(STD_OUTPUT_HANDLE);
    create_heap();
    init_handle_table();
    EXPECT_EQ(handle_count, 32);
    EXPECT_EQ(find_slot(1)->flags, c.flags);
    EXPECT_EQ(find_slot(1)->handle, c.keeps_handle ? handle : INVALID_HANDLE_VALUE);
}

INSTANTIATE_TEST_SUITE_P(standard_slots, standard_slot_test, testing::ValuesIn(standard_cases),
                         name_each_row<standard_case>);

TEST_F(launcher_test, a_null_standard_handle_counts_as_none)
{
    sim::world().std_handles[STD_INPUT_HANDLE] = nullptr;
    create_heap();
    init_handle_table();
    EXPECT_EQ(find_slot(0)->flags, 0xC1);
    EXPECT_EQ(find_slot(0)->handle, INVALID_HANDLE_VALUE);
    start_runtime();
    EXPECT_EQ(builtin_streams[0].handle, -1);
    EXPECT_EQ(builtin_streams[2].handle, 2);
    EXPECT_EQ(sim::calls_named("SetHandleCount")[0].args[0], 32u);
}

TEST_F(launcher_test, an_inherited_block_of_40_slots_gives_64)
{
    HANDLE file = sim::add_handle(FILE_TYPE_DISK);
    std::vector<BYTE> flags(40, 0);
    std::vector<uint32_t> handles(40, 0xFFFFFFFF);
    for (int i = 32; i < 40; i++) {
        flags[i] = 0x01;
        handles[i] = value_of(file);
    }
    flags[2] = 0x01;
    handles[2] = value_of(standard_error);
    sim::world().startup_block = make_block(40, flags, handles);
    create_heap();
    init_handle_table();
    EXPECT_EQ(handle_count, 64);
    for (int i = 32; i < 40; i++)
        EXPECT_EQ(find_slot(i)->handle, file) << i;
    EXPECT_EQ(find_slot(40)->flags, 0);
    /* Inherited standard error keeps its handle and gains the text flag;
       the platform is not asked for it. */
    EXPECT_EQ(find_slot(2)->flags, 0x81);
    EXPECT_EQ(find_slot(2)->handle, standard_error);
    for (const sim::call &c : sim::calls_named("GetStdHandle"))
        EXPECT_NE(c.args[0], (uint64_t)STD_ERROR_HANDLE);
}

TEST_F(launcher_test, a_block_of_5000_slots_is_held_to_2048)
{
    const int32_t n = 5000;
    HANDLE pipe = sim::add_handle(FILE_TYPE_PIPE);
    std::vector<BYTE> flags(n, 0);
    std::vector<uint32_t> handles(n, 0xFFFFFFFF);
    flags[2047] = 0x09;
    handles[2047] = value_of(pipe);
    flags[2048] = 0x09;
    handles[2048] = value_of(pipe);
    sim::world().startup_block = make_block(n, flags, handles);
    create_heap();
    init_handle_table();
    EXPECT_EQ(handle_count, 2048);
    EXPECT_EQ(find_slot(2047)->handle, pipe);
    EXPECT_EQ(find_slot(2047)->flags, 0x09);
    EXPECT_EQ(find_slot(2048), nullptr);
}

struct width_case {
    const char *name;
    int width;      /* of the handles written */
    int extra;      /* bytes after the last handle */
    bool as_written; /* read in the width written */
};

/* The block's size tells the width: exactly 4 + 9N bytes is a 64-bit
   parent's, anything else is read as a 32-bit parent's. */
TEST_F(launcher_test, a_block_is_read_in_the_width_its_size_tells)
{
    const width_case cases[] = {
        {"4-byte handles", 4, 0, true},
        {"8-byte handles", 8, 0, true},
        {"8-byte handles and a byte more", 8, 1, false},
    };
    for (const width_case &c : cases) {
        SetUp();
        HANDLE disk = sim::add_handle(FILE_TYPE_DISK), pipe = sim::add_handle(FILE_TYPE_PIPE);
        std::vector<BYTE> block = make_block(3, {0x01, 0x09, 0x01},
                                             {value_of(disk), value_of(pipe), 0xFFFFFFFF}, c.width);
        block.resize(block.size() + c.extra);
        sim::world().startup_block = block;
        create_heap();
        init_handle_table();
        /* Read 4 bytes at a time, the upper half of the first handle is
           slot 1's (a pipe, trusted), and the second handle slot 2's. */
        std::vector<HANDLE> expected = c.as_written ? std::vector<HANDLE>{disk, pipe, standard_error}
                                                    : std::vector<HANDLE>{disk, nullptr, pipe};
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(find_slot(i)->handle, expected[i]) << c.name << " slot " << i;
    }
}

struct slot_case {
    const char *name;
    BYTE flags;
    bool valid_handle;
    DWORD type;
    bool taken;
    bool asks_type;
};

TEST_F(launcher_test, block_slots_are_taken_only_when_open_and_usable)
{
    const slot_case cases[] = {
        {"open disk file", 0x01, true, FILE_TYPE_DISK, true, true},
        {"every flag bit kept", 0xFD & ~0x08, true, FILE_TYPE_CHAR, true, true},
        {"pipe taken without asking", 0x09, true, FILE_TYPE_UNKNOWN, true, false},
        {"handle -1", 0x01, false, FILE_TYPE_DISK, false, false},
        {"not open", 0x80, true, FILE_TYPE_DISK, false, false},
        {"platform knows no type", 0x01, true, FILE_TYPE_UNKNOWN, false, true},
    };
    for (const slot_case &c : cases) {
        SetUp();
        HANDLE handle = sim::add_handle(c.type);
        uint32_t value = c.valid_handle ? value_of(handle) : 0xFFFFFFFF;
        sim::world().startup_block = make_block(6, {0, 0, 0, 0, 0, c.flags},
                                                {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                                                 0xFFFFFFFF, value});
        create_heap();
        init_handle_table();
        handle_slot *slot = find_slot(5);
        EXPECT_EQ(slot->handle, c.taken ? handle : INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(slot->flags, c.taken ? c.flags : 0) << c.name;
        bool asked = false;
        for (const sim::call &call : sim::calls_named("GetFileType"))
            asked |= call.args[0] == (uint64_t)(uintptr_t)handle;
        EXPECT_EQ(asked, c.asks_type) << c.name;
    }
}

struct short_block_case {
    const char *name;
    int32_t n;
    WORD size;
    int slots_taken;
};

TEST_F(launcher_test, a_block_shorter_than_its_count_is_read_only_inside)
{
    const short_block_case cases[] = {
        {"two whole slots of three", 3, 4 + 3 + 8, 2},
        {"handles cut in the middle", 3, 4 + 3 + 10, 2},
        {"flags only", 3, 4 + 3, 0},
        {"count cut short", 3, 3, 0},
        {"absurd count", 0x7FFFFFFF, 64, 0},
        {"negative count", -1, 64, 0},
        {"zero count", 0, 64, 0},
    };
    for (const short_block_case &c : cases) {
        SetUp();
        HANDLE file = sim::add_handle(FILE_TYPE_DISK);
        std::vector<BYTE> block = make_block(c.n, {0x01, 0x01, 0x01},
                                             {value_of(file), value_of(file), value_of(file)});
        block.resize(c.size, 0x01);
        sim::world().startup_block = block; /* exactly the bytes handed over */
        create_heap();
        init_handle_table();
        EXPECT_EQ(handle_count, 32) << c.name;
        int taken = 0;
        for (int i = 0; i < 3; i++)
            taken += find_slot(i)->handle == file;
        EXPECT_EQ(taken, c.slots_taken) << c.name;
    }
}

TEST_F(launcher_test, a_group_that_cannot_be_had_ends_the_inherited_slots_quietly)
{
    HANDLE file = sim::add_handle(FILE_TYPE_DISK);
    std::vector<BYTE> flags(100, 0x01);
    std::vector<uint32_t> handles(100, value_of(file));
    sim::world().startup_block = make_block(100, flags, handles);
    sim::fail_allocation(3); /* groups 1 and 2 succeed, the third fails */
    create_heap();
    init_handle_table();
    EXPECT_EQ(handle_count, 64);
    EXPECT_EQ(find_slot(63)->handle, file);
    EXPECT_TRUE(written_chunks().empty());
}

/* Lead bytes */

struct lead_case {
    UINT code_page;
    std::vector<std::pair<int, int>> ranges;
    LCID locale;
};

TEST_F(launcher_test, built_in_code_pages_know_their_lead_bytes_without_asking)
{
    const lead_case cases[] = {
        {932, {{0x81, 0x9F}, {0xE0, 0xFC}}, 1041},
        {936, {{0x81, 0xFE}}, 2052},
        {949, {{0x81, 0xFE}}, 1042},
        {950, {{0x81, 0xFE}}, 1028},
        {1361, {{0x81, 0xD3}, {0xD8, 0xDE}, {0xE0, 0xF9}}, 0},
    };
    for (const lead_case &c : cases) {
        SetUp();
        sim::world().acp = c.code_page;
        init_lead_bytes();
        for (int byte = 0; byte < 256; byte++) {
            bool expected = false;
            for (auto range : c.ranges)
                expected |= byte >= range.first && byte <= range.second;
            EXPECT_EQ(is_lead_byte((unsigned char)byte) != 0, expected) << c.code_page << " " << byte;
        }
        EXPECT_EQ(comparison_locale, c.locale) << c.code_page;
        EXPECT_TRUE(sim::calls_named("GetCPInfo").empty()) << c.code_page;
    }
}

TEST_F(launcher_test, other_code_pages_take_their_lead_bytes_from_the_platform)
{
    CPINFO info = {};
    info.MaxCharSize = 2;
    const BYTE ranges[] = {0xA1, 0xA3, 0xB0, 0xB0, 0, 0xC0, 0xC1, 0xC2};
    std::memcpy(info.LeadByte, ranges, sizeof ranges);
    sim::world().code_pages[20000] = info;
    sim::world().acp = 20000;
    init_lead_bytes();
    std::string found;
    for (int byte = 0; byte < 256; byte++)
        if (is_lead_byte((unsigned char)byte))
            found += std::to_string(byte) + " ";
    EXPECT_EQ(found, "161 162 163 176 "); /* stops at the pair with a zero */
    EXPECT_EQ(comparison_locale, 0u);

    /* One byte per character; GetCPInfo fails; UTF-8, whose characters of
       up to four bytes have no lead bytes in the platform's sense. */
    for (UINT single : {1252u, 12345u, (UINT)CP_UTF8}) {
        SetUp();
        sim::world().acp = single;
        init_lead_bytes();
        for (int byte = 0; byte < 256; byte++)
            EXPECT_FALSE(is_lead_byte((unsigned char)byte)) << single;
    }
}

/* Environment */

TEST_F(launcher_test, the_environment_comes_from_the_wide_source_first)
{
    sim::world().environment = {"=C:=C:\\app", "PATH=C:\\tools", "A=1", "=Exit=0", "B="};
    create_heap();
    char *block = read_os_environment();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 37),
              std::string("=C:=C:\\app\0PATH=C:\\tools\0A=1\0=Exit=0\0B=\0\0", 37));
    EXPECT_EQ(sim::call_names(),
              (strings{"HeapCreate", "GetEnvironmentStringsW", "WideCharToMultiByte", "HeapAlloc",
                       "WideCharToMultiByte", "FreeEnvironmentStringsW"}));
    build_environment_snapshot(block);
    ASSERT_NE(environment_snapshot, nullptr);
    strings snapshot;
    for (char **entry = environment_snapshot; *entry; entry++)
        snapshot.push_back(*entry);
    EXPECT_EQ(snapshot, (strings{"PATH=C:\\tools", "A=1", "B="}));
    EXPECT_EQ(sim::world().environment_blocks.size(), 0u);
}

TEST_F(launcher_test, the_single_byte_source_serves_when_there_is_no_wide_one)
{
    sim::world().environment = {"X=1"};
    sim::world().wide_environment = false;
    create_heap();
    char *block = read_os_environment();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 5), std::string("X=1\0\0", 5));
    EXPECT_EQ(environment_source, SOURCE_SINGLE_BYTE);
    EXPECT_EQ(sim::calls_named("FreeEnvironmentStringsA").size(), 1u);

    /* The choice stands: the wide source is not tried again. */
    sim::world().wide_environment = true;
    EXPECT_NE(read_os_environment(), nullptr);
    EXPECT_EQ(sim::calls_named("GetEnvironmentStringsW").size(), 1u);
}

TEST_F(launcher_test, without_any_source_nothing_is_chosen)
{
    sim::world().wide_environment = false;
    sim::world().single_byte_environment = false;
    create_heap();
    EXPECT_EQ(read_os_environment(), nullptr);
    EXPECT_EQ(environment_source, SOURCE_UNCHOSEN);
    sim::world().single_byte_environment = true;
    EXPECT_NE(read_os_environment(), nullptr);
    EXPECT_EQ(environment_source, SOURCE_SINGLE_BYTE);
}

struct environment_failure {
    const char *name;
    const char *call;
    bool fail_allocation;
};

TEST_F(launcher_test, a_failed_environment_conversion_releases_everything)
{
    const environment_failure cases[] = {
        {"size unknown", "WideCharToMultiByte", false},
        {"no memory", nullptr, true},
        {"conversion fails", nullptr, false},
    };
    for (const environment_failure &c : cases) {
        SetUp();
        sim::world().environment = {"A=1"};
        create_heap();
        if (c.call)
            sim::fail_call(c.call, 1, 0, ERROR_INVALID_PARAMETER);
        else if (c.fail_allocation)
            sim::fail_allocation(1);
        else
            sim::fail_call("WideCharToMultiByte", 2, 0, ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(read_os_environment(), nullptr) << c.name;
        EXPECT_EQ(sim::live_allocations(), 0u) << c.name;
        EXPECT_EQ(sim::world().environment_blocks.size(), 0u) << c.name;
        /* a source that failed to convert is still the chosen one */
        EXPECT_EQ(environment_source, SOURCE_WIDE) << c.name;
    }
}

struct conversion_case {
    const char *name;
    UINT code_page;
    DWORD flags;               /* of every WideCharToMultiByte */
    strings arguments;         /* split from the converted command line */
    std::string path;          /* PATH in the snapshot */
};

/* The launcher converts its command line and environment itself, without
   the platform's best fit: a character the code page lacks becomes its
   default character, never a look-alike that names another folder or, as a
   full-width quote, changes the splitting.  UTF-8 holds every character,
   and Windows refuses the flag for it (Wine takes it), so there the
   conversions go without it. */
TEST_F(launcher_test, conversions_into_the_ansi_code_page_take_no_look_alikes)
{
    const conversion_case cases[] = {
        {"western", 1252, WC_NO_BEST_FIT_CHARS, {"launcher", "w", "?a", "b?"}, "PATH=Z:\\?mega"},
        {"utf-8", CP_UTF8, 0, {"launcher", "w", "\xef\xbc\x82" "a", "b\xef\xbc\x82"},
         "PATH=Z:\\\xce\xa9mega"},
    };
    for (const conversion_case &c : cases) {
        SetUp();
        sim::world().acp = c.code_page;
        sim::world().command_line = sim::wide_text(u"launcher w \uff02a b\uff02");
        sim::world().environment = {sim::wide_text(u"PATH=Z:\\\u03a9mega")};
        run_whole_program();
        strings arguments(argument_vector, argument_vector + argument_count);
        EXPECT_EQ(arguments, c.arguments) << c.name;
        ASSERT_NE(environment_snapshot, nullptr) << c.name;
        ASSERT_NE(environment_snapshot[0], nullptr) << c.name;
        EXPECT_EQ(std::string(environment_snapshot[0]), c.path) << c.name;
        std::vector<sim::call> conversions = sim::calls_named("WideCharToMultiByte");
        ASSERT_EQ(conversions.size(), 4u) << c.name; /* size and text, twice */
        for (const sim::call &conversion : conversions)
            EXPECT_EQ(conversion.args[1], c.flags) << c.name;
    }
}

TEST_F(launcher_test, an_empty_environment_gives_an_empty_snapshot)
{
    sim::world().environment.clear();
    create_heap();
    build_environment_snapshot(read_os_environment());
    ASSERT_NE(environment_snapshot, nullptr);
    EXPECT_EQ(environment_snapshot[0], nullptr);
}

/* Whole runs: exits and run-time errors */

TEST_F(launcher_test, status_minus_one_leaves_as_exit_code_4294967295)
{
    sim::world().command_line = std::string("launcher");
    sim::exit_signal end = run_whole_program();
    EXPECT_EQ(end.code, 4294967295u);
    EXPECT_FALSE(end.terminated);
    EXPECT_TRUE(written_chunks().empty());
}

TEST_F(launcher_test, start_up_builds_in_its_fixed_order)
{
    sim::world().command_line = std::string("launcher C:\\");
    sim::exit_signal end = run_whole_program();
    EXPECT_EQ(end.code, 0u);
    sim::call heap = sim::calls_named("HeapCreate")[0];
    EXPECT_EQ(heap.args, (std::vector<uint64_t>{1, 4096, 0}));
    strings order;
    for (const std::string &name : sim::call_names())
        if (name == "HeapCreate" || name == "GetStartupInfoA" || name == "SetHandleCount" ||
            name == "GetACP" || name == "GetCommandLineW" || name == "GetEnvironmentStringsW" ||
            name == "GetModuleFileNameA" || name == "GetEnvironmentVariableA" || name == "ExitProcess")
            order.push_back(name);
    EXPECT_EQ(order, (strings{"HeapCreate", "GetStartupInfoA", "SetHandleCount", "GetACP",
                              "GetCommandLineW", "GetEnvironmentStringsW", "GetModuleFileNameA",
                              "GetEnvironmentVariableA", "GetEnvironmentVariableA", "ExitProcess"}));
    EXPECT_EQ(sim::calls_named("GetEnvironmentVariableA")[0].text, "LAUNCHER_TRACE");
    /* Room for "dry" and its terminator: a longer value does not fit. */
    EXPECT_EQ(sim::calls_named("GetEnvironmentVariableA")[0].args, std::vector<uint64_t>{4});
}

TEST_F(launcher_test, a_missing_command_line_or_environment_ends_silently)
{
    sim::world().command_line.reset();
    EXPECT_EQ(run_whole_program().code, 4294967295u);
    EXPECT_TRUE(written_chunks().empty());

    SetUp();
    sim::world().wide_environment = false;
    sim::world().single_byte_environment = false;
    EXPECT_EQ(run_whole_program().code, 4294967295u);
    EXPECT_TRUE(written_chunks().empty());
}

const char argument_message[] = "\r\nruntime error R6008\r\n- not enough space for arguments\r\n";
const char environment_message[] = "\r\nruntime error R6009\r\n- not enough space for environment\r\n";
const char stdio_message[] = "\r\nruntime error R6026\r\n- not enough space for stdio initialization\r\n";
const char lowio_message[] = "\r\nruntime error R6027\r\n- not enough space for lowio initialization\r\n";
const char heap_message[] = "\r\nruntime error R6028\r\n- unable to initialize heap\r\n";

struct start_failure {
    const char *name;
    std::vector<int> failing_allocations;
    const char *output;
    UINT code;
};

/* The allocations of a start with two variables: handle group, command
   line, environment block, argument vector, snapshot vector, two strings,
   stream table. */
TEST_F(launcher_test, every_start_up_allocation_failure_ends_as_designed)
{
    const start_failure cases[] = {
        {"handle table", {1}, lowio_message, 255},
        {"command line", {2}, argument_message, 255},
        {"environment block", {3}, "", 4294967295u},
        {"argument vector", {4}, argument_message, 255},
        {"snapshot vector", {5}, environment_message, 255},
        {"first snapshot string", {6}, environment_message, 255},
        {"second snapshot string", {7}, environment_message, 255},
        {"large stream table only", {8}, "", 4294967295u},
        {"both stream tables", {8, 9}, stdio_message, 255},
    };
    for (const start_failure &c : cases) {
        SetUp();
        sim::world().environment = {"A=1", "=C:=C:\\", "B=2"};
        sim::world().command_line = std::string("launcher");
        for (int k : c.failing_allocations)
            sim::fail_allocation(k);
        sim::exit_signal end = run_whole_program();
        EXPECT_EQ(end.code, c.code) << c.name;
        EXPECT_FALSE(end.terminated) << c.name;
        EXPECT_EQ(sim::output_of(standard_error), c.output) << c.name;
        if (c.code == 255) { /* three writes, straight to the platform */
            EXPECT_EQ(written_chunks().size(), 3u) << c.name;
        }
    }
}

TEST_F(launcher_test, a_heap_that_cannot_be_made_is_run_time_error_28)
{
    sim::fail_call("HeapCreate", 1, 0, ERROR_NOT_ENOUGH_MEMORY);
    sim::exit_signal end = run_whole_program();
    EXPECT_EQ(end.code, 255u);
    EXPECT_EQ(sim::output_of(standard_error), heap_message);
}

TEST_F(launcher_test, run_time_errors_go_to_slot_two_or_else_to_standard_error)
{
    /* Slot 2 inherited as a file: the message goes there, not to the
       platform's standard error. */
    HANDLE file = sim::add_handle(FILE_TYPE_DISK);
    sim::world().startup_block = make_block(3, {0, 0, 0x01}, {0xFFFFFFFF, 0xFFFFFFFF, value_of(file)});
    sim::world().command_line = std::string("launcher");
    sim::fail_allocation(4); /* the argument vector */
    EXPECT_EQ(run_whole_program().code, 255u);
    EXPECT_EQ(sim::output_of(file), argument_message);
    EXPECT_EQ(sim::output_of(standard_error), "");

    /* Slot 2 without a handle: asked for again at the time of the error. */
    SetUp();
    sim::world().std_handles.erase(STD_ERROR_HANDLE);
    create_heap();
    init_handle_table();
    HANDLE late = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_CHAR);
    EXPECT_THROW(fail_with_runtime_error(RUNTIME_ERROR_ARGUMENTS), sim::exit_signal);
    EXPECT_EQ(sim::output_of(late), argument_message);
}

TEST_F(launcher_test, the_normal_exit_flushes_and_the_quick_exit_does_not)
{
    HANDLE file = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_DISK);
    start_runtime();
    print_error_stream("pending");
    EXPECT_THROW(exit_quickly(0), sim::exit_signal);
    EXPECT_EQ(sim::output_of(file), "");

    /* An exit that starts again after the platform's end terminates. */
    try {
        exit_normally(3);
    } catch (const sim::exit_signal &end) {
        EXPECT_TRUE(end.terminated);
        EXPECT_EQ(end.code, 3u);
    }
    EXPECT_EQ(sim::output_of(file), "");

    exit_reached = 0;
    EXPECT_THROW(exit_normally(-1), sim::exit_signal);
    EXPECT_EQ(sim::output_of(file), "pending");
    EXPECT_EQ(sim::calls_named("ExitProcess").back().args[0], 4294967295u);
}

struct fault_case {
    const char *name;
    LONG answer;
    DWORD flags;
    bool exits;
    int disposition;
    bool asks;
};

TEST_F(launcher_test, an_unhandled_fault_follows_the_filter)
{
    const fault_case cases[] = {
        {"handler to run", EXCEPTION_EXECUTE_HANDLER, 0, true, 0, true},
        {"search on", EXCEPTION_CONTINUE_SEARCH, 0, false, 1, true},
        {"resume", EXCEPTION_CONTINUE_EXECUTION, 0, false, 0, true},
        {"unwinding passes", EXCEPTION_EXECUTE_HANDLER, EXCEPTION_UNWINDING, false, 1, false},
    };
    for (const fault_case &c : cases) {
        SetUp();
        sim::world().filter_answer = c.answer;
        EXCEPTION_RECORD record = {};
        record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record.ExceptionFlags = c.flags;
        try {
            EXPECT_EQ(answer_fault(&record, nullptr), c.disposition) << c.name;
            EXPECT_FALSE(c.exits) << c.name;
        } catch (const sim::exit_signal &end) {
            EXPECT_TRUE(c.exits) << c.name;
            EXPECT_EQ(end.code, EXCEPTION_ACCESS_VIOLATION) << c.name;
        }
        EXPECT_EQ(sim::calls_named("UnhandledExceptionFilter").size(), c.asks ? 1u : 0u) << c.name;
    }
}

} // namespace
