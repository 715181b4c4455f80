/*
 * Whole runs from the process entry, with any command line, any PATH, a few
 * files, and at most one failed allocation or write.
 *
 * Input: an options byte, the number of the allocation that fails, the
 * number of the write that fails, then lines: the command line, the PATH
 * value ("-" for none), then files to create (full paths on drive C).
 * Options: bit 0 code page 932, bit 1 standard error on a file, bit 2 no
 * standard error at all, bit 3 an inherited block for the standard three,
 * bit 4 fail the allocation, bit 5 fail the write, bit 6 no byte comparison,
 * bit 7 a start directory of 1023 characters.
 *
 * Every run must end through the platform's exit with a documented code and
 * a documented message; a start must get the command line joined from the
 * launcher's own arguments and the block that describes its handle table;
 * and a run that fails after start-up must hold no block but those that
 * start-up keeps until the process ends.
 */
#include "runtime/arguments.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/handle_table.h"
#include "runtime/stream.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/launcher_state.h"

#include <set>
#include <vector>

namespace {

enum {
    CODE_PAGE_932 = 0x01,
    ERROR_TO_FILE = 0x02,
    NO_ERROR_HANDLE = 0x04,
    INHERITED_BLOCK = 0x08,
    FAIL_ALLOCATION = 0x10,
    FAIL_WRITE = 0x20,
    NO_BYTE_COMPARISON = 0x40,
    LONG_START_DIRECTORY = 0x80
};

const char path_too_long[] = "Path too long for launcher, maximum size supported is 8192 bytes";
const char directory_too_long[] =
    "Current directory too long for launcher, maximum size supported is 1024 bytes";

bool is_error_text(const std::string &text)
{
    for (int n = -1; n < 100; n++)
        if (text == get_error_text(n))
            return true;
    return false;
}

bool is_report_line(const std::string &out, const std::string &message)
{
    std::string head = message + ": ";
    return out.size() >= head.size() + 2 && out.compare(0, head.size(), head) == 0 &&
           out.compare(out.size() - 2, 2, "\r\n") == 0 &&
           is_error_text(out.substr(head.size(), out.size() - head.size() - 2));
}

bool is_runtime_error(const std::string &out)
{
    static const char *const texts[] = {
        "R6008\r\n- not enough space for arguments\r\n",
        "R6009\r\n- not enough space for environment\r\n",
        "R6026\r\n- not enough space for stdio initialization\r\n",
        "R6027\r\n- not enough space for lowio initialization\r\n",
    };
    for (const char *text : texts)
        if (out == std::string("\r\nruntime error ") + text)
            return true;
    return false;
}

/* The command line of a start: the arguments from the command on, joined
   by single spaces, with one empty argument after the command adding
   nothing. */
std::string joined_command(char **arguments)
{
    std::string line = arguments[0];
    if (!arguments[1] || (!arguments[2] && !arguments[1][0]))
        return line;
    for (char **argument = arguments + 1; *argument; argument++)
        line += std::string(" ") + *argument;
    return line;
}

std::string expected_block()
{
    int n = handle_count;
    while (n > 0 && find_slot(n - 1)->flags == 0)
        n--;
    std::string block;
    auto put = [&block](DWORD v) {
        for (int i = 0; i < 4; i++)
            block += (char)(v >> (8 * i));
    };
    put((DWORD)n);
    for (int i = 0; i < n; i++) {
        BYTE flags = find_slot(i)->flags;
        block += (char)(flags & SLOT_NO_INHERIT ? 0 : flags);
    }
    for (int i = 0; i < n; i++) {
        handle_slot *slot = find_slot(i);
        put(slot->flags & SLOT_NO_INHERIT ? 0xFFFFFFFFu : (DWORD)(uintptr_t)slot->handle);
    }
    return block;
}

/* The blocks start-up keeps until the process ends, found from where
   start-up left them. */
std::set<void *> start_up_blocks()
{
    std::set<void *> blocks;
    for (handle_slot *group : handle_groups)
        if (group)
            blocks.insert(group);
    blocks.insert(argument_vector);
    blocks.insert(environment_snapshot);
    for (char **entry = environment_snapshot; entry && *entry; entry++)
        blocks.insert(*entry);
    blocks.insert(stream_table);
    blocks.insert(temporary_buffer);
    blocks.insert(error_stream->buffer);
    blocks.erase(nullptr);
    return blocks;
}

/* Returns the handle that standard error writes on. */
HANDLE build_world(uint8_t options, const std::string &command_line, const std::string &path,
                   input_reader &in)
{
    if (options & CODE_PAGE_932)
        use_code_page_932();
    HANDLE error_handle = INVALID_HANDLE_VALUE;
    if (!(options & NO_ERROR_HANDLE))
        error_handle = sim::set_std_handle(STD_ERROR_HANDLE,
                                           options & ERROR_TO_FILE ? FILE_TYPE_DISK : FILE_TYPE_CHAR);
    std::string start = "C:\\app\\bin";
    if (options & LONG_START_DIRECTORY)
        start = "C:\\" + std::string(1020, 'd');
    sim::add_directory(start);
    sim::add_directory("C:\\work");
    sim::world().current_directory = start;
    sim::world().command_line = command_line;
    sim::world().compare_a_missing = options & NO_BYTE_COMPARISON;
    sim::world().environment = {"=C:=" + start, "TEMP=C:\\temp"};
    if (path != "-")
        sim::world().environment.push_back("PATH=" + path);
    if (options & INHERITED_BLOCK) {
        HANDLE console = sim::add_handle(FILE_TYPE_CHAR);
        DWORD h = (DWORD)(uintptr_t)console;
        std::vector<BYTE> block = {3, 0, 0, 0, 0x41, 0x41, 0x41};
        for (int i = 0; i < 3; i++)
            for (int b = 0; b < 4; b++)
                block.push_back((BYTE)(h >> (8 * b)));
        sim::world().startup_block = block;
        error_handle = console;
    }
    while (!in.empty()) {
        std::string file = in.take_line();
        if (file.size() > 3 && file.compare(0, 3, "C:\\") == 0 && file.find('\0') == std::string::npos)
            sim::add_file(file);
    }
    return error_handle;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input_reader in(data, size);
    uint8_t options = in.take_byte(), failing_allocation = in.take_byte(), failing_write = in.take_byte();
    std::string command_line = in.take_line();
    std::string path = in.take_line();
    if (command_line.find('\0') != std::string::npos || path.find('\0') != std::string::npos)
        return 0;

    enter_fresh_world();
    HANDLE error_handle = build_world(options, command_line, path, in);
    bool faulted = options & (FAIL_ALLOCATION | FAIL_WRITE);
    if (options & FAIL_ALLOCATION)
        sim::fail_allocation(1 + failing_allocation);
    if (options & FAIL_WRITE)
        sim::fail_write(1 + failing_write % 8, ERROR_DISK_FULL);

    sim::exit_signal end = run_whole_program();
    REQUIRE(!end.terminated);
    REQUIRE(end.code == 0 || end.code == 0xFFFFFFFFu || (end.code == 255 && (options & FAIL_ALLOCATION)));
    REQUIRE(sim::world().bad_frees == 0);
    REQUIRE(sim::world().environment_blocks.empty());

    std::string out = sim::output_of(error_handle);
    if (!faulted)
        REQUIRE(out.empty() || out == path_too_long || out == directory_too_long ||
                is_report_line(out, "Exec Failed"));
    else if (!(options & FAIL_WRITE))
        REQUIRE(out.empty() || out == path_too_long || out == directory_too_long ||
                is_report_line(out, "Exec Failed") ||
                is_report_line(out, "Environment allocation failed") || is_runtime_error(out));
    if (end.code == 255)
        return 0; /* start-up gave up; what it took lives until the end */

    /* Nothing is written before a start, so a run that started wrote
       nothing; a run without a command starts nothing. */
    const std::vector<sim::process_start> &starts = sim::world().starts;
    bool started = end.code == 0 && argument_count >= 3;
    REQUIRE(!started || (!starts.empty() && out.empty()));
    REQUIRE(argument_count >= 3 || starts.empty());
    for (const sim::process_start &s : starts) {
        REQUIRE(s.command_line == joined_command(argument_vector + 2));
        REQUIRE(s.block == expected_block());
        REQUIRE(s.block_size == s.block->size());
    }

    std::set<void *> kept = start_up_blocks();
    size_t others = 0;
    for (const auto &block : sim::world().live_blocks)
        others += kept.count(block.first) == 0;
    /* A start ends the process at once with the command line and the
       search's buffers of that attempt still held. */
    REQUIRE(others <= (started ? 3u : 0u));
    return 0;
}
