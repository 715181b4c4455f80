/* Error numbers, their texts and the writes that carry them. */
#include "tests/unit/fixture.h"

#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/exit.h"
#include "runtime/heap.h"
#include "runtime/kept_message.h"
#include "runtime/stream.h"

#include <climits>

namespace {

class error_reporting_test : public launcher_test {
protected:
    /* Standard error of the given type, and the runtime built around it. */
    HANDLE start_with_error_handle(DWORD type)
    {
        standard_error = sim::set_std_handle(STD_ERROR_HANDLE, type);
        start_runtime();
        sim::world().calls.clear();
        return standard_error;
    }
};

const char path_message[] = "Path too long for launcher, maximum size supported is 8192 bytes";

struct os_error_case {
    DWORD os_code;
    int number;
};

TEST_F(error_reporting_test, map_os_error_uses_pairs_then_ranges_then_invalid_argument)
{
    const os_error_case cases[] = {
        {2, 2},    {3, 2},     {5, 13},   {6, 9},    {18, 2},   {19, 13},
        {36, 13},  {37, 22},   {53, 2},   {112, 28}, {145, 41}, {187, 22},
        {188, 8},  {193, 8},   {202, 8},  {203, 22}, {206, 2},  {0, 22},
        {123, 22}, {1816, 12}, {10, 7},   {4, 24},   {109, 32}, {0xFFFFFFFF, 22},
    };
    for (const os_error_case &c : cases) {
        map_os_error(c.os_code);
        EXPECT_EQ(error_number, c.number) << "OS error " << c.os_code;
        EXPECT_EQ(os_error_code, c.os_code);
    }
}

TEST_F(error_reporting_test, error_texts_cover_every_number_and_call_the_rest_unknown)
{
    EXPECT_STREQ(get_error_text(0), "No error");
    EXPECT_STREQ(get_error_text(2), "No such file or directory");
    EXPECT_STREQ(get_error_text(8), "Exec format error");
    EXPECT_STREQ(get_error_text(12), "Not enough space");
    EXPECT_STREQ(get_error_text(13), "Permission denied");
    EXPECT_STREQ(get_error_text(16), "Resource device");
    EXPECT_STREQ(get_error_text(28), "No space left on device");
    EXPECT_STREQ(get_error_text(42), "Illegal byte sequence");
    for (int unknown : {15, 26, 35, 37, 43, 44, -1, INT_MIN, INT_MAX})
        EXPECT_STREQ(get_error_text(unknown), "Unknown error") << unknown;
}

TEST_F(error_reporting_test, report_error_writes_four_pieces_straight_to_the_handle)
{
    HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
    error_number = 2;
    report_error("Exec Failed");
    EXPECT_EQ(written_chunks(),
              (std::vector<std::string>{"Exec Failed", ": ", "No such file or directory", "\r\n"}));
    /* On a file too the line is there at once, not at the end of the process. */
    EXPECT_EQ(sim::output_of(handle), "Exec Failed: No such file or directory\r\n");
}

TEST_F(error_reporting_test, report_error_without_a_message_writes_only_the_text)
{
    start_with_error_handle(FILE_TYPE_CHAR);
    report_error(nullptr);
    error_number = -5;
    report_error("");
    EXPECT_EQ(written_chunks(),
              (std::vector<std::string>{"No error", "\r\n", "Unknown error", "\r\n"}));
}

TEST_F(error_reporting_test, report_error_prints_the_reason_a_failed_write_left)
{
    HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
    error_number = 2;
    sim::fail_write(1, ERROR_DISK_FULL);
    report_error("Exec Failed");
    EXPECT_EQ(sim::output_of(handle), ": No space left on device\r\n");
}

TEST_F(error_reporting_test, write_handle_turns_line_feeds_into_cr_lf)
{
    start_with_error_handle(FILE_TYPE_CHAR);
    EXPECT_EQ(write_handle(2, "a\nb", 3), 3);
    EXPECT_EQ(write_handle(2, "\r\n", 2), 2);
    EXPECT_EQ(written_chunks(), (std::vector<std::string>{"a\r\nb", "\r\r\n"}));
}

struct chunk_case {
    const char *name;
    std::string data;
    std::vector<size_t> chunk_sizes;
};

TEST_F(error_reporting_test, write_handle_stages_text_in_chunks_of_at_most_1025_bytes)
{
    const chunk_case cases[] = {
        {"1023 bytes and a line feed", std::string(1023, 'x') + "\n", {1025}},
        {"1024 bytes", std::string(1024, 'x'), {1024}},
        {"1025 bytes", std::string(1025, 'x'), {1024, 1}},
        {"2048 line feeds", std::string(2048, '\n'), {1024, 1024, 1024, 1024}},
        {"line feed after 1024 bytes", std::string(1024, 'x') + "\n", {1024, 2}},
    };
    for (const chunk_case &c : cases) {
        SetUp();
        HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
        int result = write_handle(2, c.data.data(), (unsigned)c.data.size());
        EXPECT_EQ(result, (int)c.data.size()) << c.name;
        std::vector<size_t> sizes;
        for (const std::string &chunk : written_chunks())
            sizes.push_back(chunk.size());
        EXPECT_EQ(sizes, c.chunk_sizes) << c.name;
        std::string expected;
        for (char ch : c.data)
            expected += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        EXPECT_EQ(sim::output_of(handle), expected) << c.name;
    }
}

TEST_F(error_reporting_test, write_handle_on_a_binary_slot_changes_nothing)
{
    HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
    find_slot(2)->flags &= (unsigned char)~SLOT_TEXT;
    EXPECT_EQ(write_handle(2, "a\nb", 3), 3);
    EXPECT_EQ(sim::output_of(handle), "a\nb");
}

TEST_F(error_reporting_test, write_handle_refuses_numbers_that_name_no_open_slot)
{
    start_with_error_handle(FILE_TYPE_CHAR);
    find_slot(5)->flags = 0;
    for (int number : {-1, 5, handle_count, handle_count + 1, INT_MIN}) {
        set_error(0, 77);
        EXPECT_EQ(write_handle(number, "x", 1), -1) << number;
        EXPECT_EQ(error_number, 9) << number;
        EXPECT_EQ(os_error_code, 0u) << number;
    }
    EXPECT_TRUE(written_chunks().empty());
}

TEST_F(error_reporting_test, write_handle_of_nothing_makes_no_call_even_when_appending)
{
    start_with_error_handle(FILE_TYPE_DISK);
    find_slot(2)->flags |= SLOT_APPEND;
    EXPECT_EQ(write_handle(2, "", 0), 0);
    EXPECT_TRUE(sim::world().calls.empty());
}

struct failure_case {
    const char *name;
    DWORD type;
    bool fails;
    DWORD error_or_accepted;
    std::string data;
    int result;
    int number;
    DWORD os_code;
};

TEST_F(error_reporting_test, write_handle_failures_give_their_error_numbers)
{
    const int untouched = 99;
    const failure_case cases[] = {
        {"access denied is a bad descriptor", FILE_TYPE_DISK, true, ERROR_ACCESS_DENIED, "x", -1, 9, 5},
        {"disk full maps through the table", FILE_TYPE_DISK, true, ERROR_DISK_FULL, "x", -1, 28, 112},
        {"broken pipe", FILE_TYPE_PIPE, true, 109, "x", -1, 32, 109},
        {"nothing accepted on a file", FILE_TYPE_DISK, false, 0, "x", -1, 28, 0},
        {"control-Z on a file is no exception", FILE_TYPE_DISK, false, 0, "\x1a", -1, 28, 0},
        {"nothing accepted on a device", FILE_TYPE_CHAR, false, 0, "x", -1, 28, 0},
        {"control-Z on a device", FILE_TYPE_CHAR, false, 0, "\x1a" "abc", 0, untouched, 7},
    };
    for (const failure_case &c : cases) {
        SetUp();
        start_with_error_handle(c.type);
        set_error(untouched, 7);
        if (c.fails)
            sim::fail_write(1, c.error_or_accepted);
        else
            sim::short_write(1, c.error_or_accepted);
        EXPECT_EQ(write_handle(2, c.data.data(), (unsigned)c.data.size()), c.result) << c.name;
        EXPECT_EQ(error_number, c.number) << c.name;
        EXPECT_EQ(os_error_code, c.os_code) << c.name;
    }
}

TEST_F(error_reporting_test, write_handle_stops_at_a_short_chunk_and_counts_whole_data_bytes)
{
    HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
    /* The first chunk goes whole; the second is cut inside a CR LF pair. */
    std::string data = std::string(1024, 'x') + "ab\ncd" + std::string(2000, 'y');
    sim::short_write(2, 3);
    EXPECT_EQ(write_handle(2, data.data(), (unsigned)data.size()), 1024 + 2);
    EXPECT_EQ(written_chunks().size(), 2u);
    EXPECT_EQ(sim::output_of(handle), std::string(1024, 'x') + "ab\r");
}

TEST_F(error_reporting_test, write_handle_never_reports_less_than_nothing_for_a_short_write)
{
    start_with_error_handle(FILE_TYPE_DISK);
    std::string data(512, '\n');
    sim::short_write(1, 101);
    EXPECT_EQ(write_handle(2, data.data(), (unsigned)data.size()), 50);
}

TEST_F(error_reporting_test, write_handle_keeps_quiet_about_a_failure_after_accepted_bytes)
{
    start_with_error_handle(FILE_TYPE_DISK);
    std::string data(1500, 'z');
    sim::fail_write(2, ERROR_DISK_FULL);
    set_error(0, 0);
    EXPECT_EQ(write_handle(2, data.data(), (unsigned)data.size()), 1024);
    EXPECT_EQ(error_number, 0);
}

TEST_F(error_reporting_test, write_handle_seeks_to_the_end_before_an_append_write)
{
    start_with_error_handle(FILE_TYPE_DISK);
    find_slot(2)->flags |= SLOT_APPEND;
    EXPECT_EQ(write_handle(2, "x", 1), 1);
    std::vector<std::string> names = sim::call_names();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "SetFilePointer");
    EXPECT_EQ(names[1], "WriteFile");
    sim::call seek = sim::calls_named("SetFilePointer")[0];
    EXPECT_EQ(seek.args[1], 0u);         /* distance */
    EXPECT_EQ(seek.args[2], 0u);         /* no high part */
    EXPECT_EQ(seek.args[3], (uint64_t)FILE_END);
}

TEST_F(error_reporting_test, a_failed_append_seek_leaves_its_reason_but_the_write_goes_on)
{
    struct row {
        DWORD seek_error;
        int error;
        DWORD os_error;
    };
    /* The second is no failure: a file that ends at 4 GiB - 1 bytes. */
    const row rows[] = {{ERROR_INVALID_HANDLE, 9, ERROR_INVALID_HANDLE}, {ERROR_SUCCESS, 0, 0}};
    for (const row &r : rows) {
        SetUp();
        HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
        find_slot(2)->flags |= SLOT_APPEND;
        set_error(0, 0);
        sim::fail_call("SetFilePointer", 1, INVALID_SET_FILE_POINTER, r.seek_error);
        EXPECT_EQ(write_handle(2, "x", 1), 1);
        EXPECT_EQ(error_number, r.error) << r.seek_error;
        EXPECT_EQ(os_error_code, r.os_error) << r.seek_error;
        EXPECT_EQ(sim::output_of(handle), "x");
    }
}

TEST_F(error_reporting_test, print_error_stream_on_a_console_is_one_write)
{
    start_with_error_handle(FILE_TYPE_CHAR);
    EXPECT_EQ(print_error_stream(path_message), 64);
    EXPECT_EQ(written_chunks(), (std::vector<std::string>{path_message}));
    EXPECT_EQ(error_stream->buffer, nullptr);
    EXPECT_EQ(error_stream->marks, 0);

    /* The temporary buffer is taken once and lent again. */
    int allocations = sim::world().allocations;
    EXPECT_EQ(print_error_stream("again"), 5);
    EXPECT_EQ(sim::world().allocations, allocations);
    EXPECT_EQ(written_chunks().back(), "again");
}

TEST_F(error_reporting_test, print_error_stream_on_a_file_waits_for_the_exit)
{
    HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
    EXPECT_EQ(print_error_stream(path_message), 64);
    EXPECT_TRUE(written_chunks().empty());
    EXPECT_THROW(exit_normally(-1), sim::exit_signal);
    EXPECT_EQ(written_chunks(), (std::vector<std::string>{path_message}));
    EXPECT_EQ(sim::output_of(handle), path_message);
}

TEST_F(error_reporting_test, print_error_stream_without_memory_writes_each_character)
{
    for (DWORD type : {(DWORD)FILE_TYPE_CHAR, (DWORD)FILE_TYPE_PIPE}) {
        SetUp();
        HANDLE handle = start_with_error_handle(type);
        sim::fail_allocation(sim::world().allocations + 1);
        EXPECT_EQ(print_error_stream("abc\n"), 4);
        EXPECT_EQ(written_chunks(), (std::vector<std::string>{"a", "b", "c", "\r\n"})) << type;
        EXPECT_EQ(sim::output_of(handle), "abc\r\n");
    }
}

TEST_F(error_reporting_test, print_error_stream_reports_the_first_failed_character)
{
    start_with_error_handle(FILE_TYPE_CHAR);
    sim::fail_allocation(sim::world().allocations + 1);
    sim::fail_write(2, ERROR_INVALID_HANDLE);
    EXPECT_EQ(print_error_stream("abc"), -1);
    EXPECT_EQ(written_chunks().size(), 2u);
}

TEST_F(error_reporting_test, print_error_stream_of_nothing_writes_nothing)
{
    start_with_error_handle(FILE_TYPE_CHAR);
    EXPECT_EQ(print_error_stream(""), 0);
    EXPECT_TRUE(written_chunks().empty());
}

TEST_F(error_reporting_test, a_full_own_buffer_is_written_before_the_next_character)
{
    HANDLE handle = start_with_error_handle(FILE_TYPE_DISK);
    std::string message(5000, 'm');
    EXPECT_EQ(print_error_stream(message.c_str()), 5000);
    EXPECT_EQ(sim::output_of(handle).size(), 4096u);
    EXPECT_EQ(flush_stream(error_stream), 0);
    EXPECT_TRUE(sim::output_of(handle) == message);
    /* A flushed stream holds nothing: a second flush writes nothing. */
    size_t writes = written_chunks().size();
    EXPECT_EQ(flush_stream(error_stream), 0);
    EXPECT_EQ(written_chunks().size(), writes);
}

TEST_F(error_reporting_test, flush_stream_reports_a_short_write)
{
    start_with_error_handle(FILE_TYPE_DISK);
    print_error_stream("hello");
    sim::short_write(1, 2);
    EXPECT_EQ(flush_stream(error_stream), -1);
    EXPECT_EQ(error_stream->position, error_stream->buffer);
    EXPECT_EQ(error_stream->room, 0);
}

TEST_F(error_reporting_test, without_a_standard_error_handle_nothing_reaches_the_platform)
{
    sim::world().std_handles.erase(STD_ERROR_HANDLE);
    start_runtime();
    sim::world().calls.clear();
    print_error_stream(path_message);
    flush_all_streams();
    EXPECT_EQ(error_number, 9);
    EXPECT_TRUE(written_chunks().empty());

    /* report_error goes straight to slot 2, whose handle is none. */
    report_error("Exec Failed");
    EXPECT_EQ(written_chunks().size(), 4u);
    for (const sim::call &c : sim::calls_named("WriteFile"))
        EXPECT_EQ(c.args[0], (uint64_t)(uintptr_t)INVALID_HANDLE_VALUE);
}

} // namespace

namespace {

/* A message is kept whole, beyond its first buffer on the heap; without
   memory for a piece it ends where it came to, no piece left out.  The
   first buffer holds 127 units and the terminator. */
struct kept_case {
    const char *name;
    int failing_allocation;
    std::string box;
    std::string piece = std::string(200, 'x'); /* between "Shim" and "!" */
    size_t blocks = 1; /* on the heap once the message is whole */
};

const std::string long_piece(200, 'x');
const kept_case kept_cases[] = {
    {"every piece kept", 0, "Shim" + long_piece + "!"},
    {"no memory for a piece", 1, "Shim", long_piece, 0},
    {"127 units in the first buffer", 0, "Shim" + std::string(122, 'x') + "!",
     std::string(122, 'x'), 0},
    {"128 units on the heap", 0, "Shim" + std::string(123, 'x') + "!", std::string(123, 'x'), 1},
};

TEST_F(error_reporting_test, a_kept_message_ends_where_memory_ran_out)
{
    for (const kept_case &c : kept_cases) {
        SetUp();
        reset_kept_message();
        start_runtime();
        keep_message_piece("Shim", 4, 1);
        size_t live = sim::live_allocations();
        if (c.failing_allocation)
            sim::fail_allocation(sim::world().allocations + c.failing_allocation);
        keep_message_piece(c.piece.data(), (unsigned)c.piece.size(), 0);
        keep_message_piece("!", 1, 0);
        /* A message that grew keeps one block: the one before is released. */
        EXPECT_EQ(sim::live_allocations() - live, c.blocks) << c.name;
        show_lost_message(1);
        ASSERT_EQ(sim::world().boxes.size(), 1u) << c.name;
        EXPECT_EQ(sim::world().boxes[0].text, c.box) << c.name;
    }
}

} // namespace
