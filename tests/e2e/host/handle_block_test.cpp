/*
 * A launcher started with a handle inheritance block of its own: it takes
 * the usable slots, passes them on to the command, and blanks the slots
 * flagged no-inherit (0x10) while still counting them.  The handles are real
 * inheritable handles opened by the runner, so the command's probe can tell
 * that they arrived, not only their numbers.  No batch-file row: Wine runs
 * its own cmd whatever ComSpec says; hand_over_test has the ComSpec widths.
 */
#include "e2e_support.h"
#include "hex_text.h"

namespace {

/* A runner slot source: a new file in the test's directory. */
std::string name_file_source(const scratch_tree &tree, const char *name)
{
    return "file " + encode_hex(to_wine_path(join_unix(tree.root, name)));
}

class handle_block_handover : public e2e_test {
protected:
    /* "launcher ..\work tool" with the given block, for a tool that starts;
       what the launcher was given and what the probe received. */
    void hand_over(const std::vector<std::string> &slots, launch_result *result,
                   probe_report *report)
    {
        copy_probe(join_unix(tree.work, "tool.exe"));
        launch how;
        how.command_line = "launcher ..\\work tool";
        how.environment = make_environment(tree, "C:\\windows");
        how.slots = slots;
        *result = run_launcher(tree, how);
        ASSERT_TRUE(result->ran) << result->failure;
        EXPECT_EQ(result->exit_code, 0u);
        ASSERT_TRUE(wait_for_probe(tree, report)) << "the command was not started";
    }
};

enum : uint32_t { NO_HANDLE = 0xffffffffu };
enum : unsigned long { TYPE_UNKNOWN = 0, TYPE_DISK = 1, TYPE_CHAR = 2, TYPE_PIPE = 3 };

TEST_F(handle_block_handover, keeps_usable_slots_and_blanks_no_inherit)
{
    /* By slot: open (the launcher adds text); an open pipe; the standard
       error pipe; a no-inherit pipe, to be blanked; a file whose meaningless
       bit 0x04 passes along; a no-inherit file that is yet the highest slot
       described; a value that is no handle and not flagged pipe, an unopened
       pipe and a missing handle, all three dropped. */
    const std::vector<std::string> slots = {"01 null",
                                            "09 pipe",
                                            "09 stderr",
                                            "19 pipe",
                                            "05 " + name_file_source(tree, "slot4.txt"),
                                            "11 " + name_file_source(tree, "slot5.txt"),
                                            "01 value 00001234",
                                            "00 pipe",
                                            "01 value ffffffff"};
    launch_result result;
    probe_report report;
    ASSERT_NO_FATAL_FAILURE(hand_over(slots, &result, &report));

    handle_block given = parse_block(result.block);
    ASSERT_EQ(given.handles.size(), 9u);
    handle_block passed = parse_block(report.reserved);
    EXPECT_EQ(report.reserved_size, 5u * 6 + 4);
    ASSERT_EQ(passed.count, 6);
    EXPECT_EQ(passed.flags, (std::vector<unsigned>{0x81, 0x89, 0x89, 0, 0x05, 0}));
    EXPECT_EQ(passed.handles,
              (std::vector<uint32_t>{given.handles[0], given.handles[1], given.handles[2],
                                     NO_HANDLE, given.handles[4], NO_HANDLE}));
    EXPECT_EQ(report.block_types,
              (std::vector<unsigned long>{TYPE_CHAR, TYPE_PIPE, TYPE_PIPE, TYPE_UNKNOWN,
                                          TYPE_DISK, TYPE_UNKNOWN}));
}

/* A slot flagged pipe is taken on the block's word, without asking the
   platform, so even a handle value that names nothing is passed on. */
TEST_F(handle_block_handover, trusts_pipe_flag_without_asking)
{
    launch_result result;
    probe_report report;
    ASSERT_NO_FATAL_FAILURE(
        hand_over({"01 null", "01 null", "09 stderr", "09 value 00001234"}, &result, &report));
    handle_block passed = parse_block(report.reserved);
    ASSERT_EQ(passed.count, 4);
    EXPECT_EQ(passed.flags[3], 0x09u);
    EXPECT_EQ(passed.handles[3], 0x1234u);
}

/* A block of more than 32 slots grows the table by a group: slot 35 is
   taken and passed on, and the free slots after it are not described. */
TEST_F(handle_block_handover, grows_table_past_first_group)
{
    std::vector<std::string> slots = {"01 null", "01 null", "09 stderr"};
    slots.resize(35, "00 value ffffffff");
    slots.push_back("09 pipe");
    slots.resize(40, "00 value ffffffff");
    launch_result result;
    probe_report report;
    ASSERT_NO_FATAL_FAILURE(hand_over(slots, &result, &report));

    handle_block given = parse_block(result.block);
    ASSERT_EQ(given.count, 40);
    handle_block passed = parse_block(report.reserved);
    ASSERT_EQ(passed.count, 36);
    ASSERT_EQ(passed.flags.size(), 36u);
    EXPECT_EQ(passed.flags[35], 0x09u);
    EXPECT_EQ(passed.handles[35], given.handles[35]);
    EXPECT_EQ(report.block_types[35], (unsigned long)TYPE_PIPE);
    for (int i = 3; i < 35; i++)
        EXPECT_EQ(passed.flags[i], 0u) << "slot " << i;
}

/* A negative count describes no slot: the standard handles come from
   STARTUPINFO, so the message lands on hStdError, not on the block's pipe. */
TEST_F(handle_block_handover, negative_count_takes_no_slots)
{
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, "C:\\windows");
    how.slots = {"01 null", "01 null", "09 pipe"};
    how.has_block_count = true;
    how.block_count = -1;
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, EXIT_FAILED);
    EXPECT_EQ(show_bytes(result.error_output),
              show_bytes("Exec Failed: No such file or directory\r\n"));
    EXPECT_EQ(show_bytes(result.slot_output[2]), "");
}

/* Slot 2 of an inherited block is the launcher's standard error, whatever
   STARTUPINFO's hStdError says. */
TEST_F(handle_block_handover, error_goes_to_inherited_slot_2)
{
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, "C:\\windows");
    how.slots = {"01 null", "01 null", "09 pipe"};
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, EXIT_FAILED);
    EXPECT_EQ(show_bytes(result.slot_output[2]),
              show_bytes("Exec Failed: No such file or directory\r\n"));
    EXPECT_EQ(show_bytes(result.error_output), "");
}

struct width_case {
    const char *name;
    int command_bits;   /* the probe started: a 32-bit or a 64-bit program */
    size_t given_width; /* the block the launcher is given; 0: none */
};

/* The command gets handles of its own width, whatever the launcher's and
   whatever its parent gave it: a C runtime reads them as wide as its own
   pointers.  Without a block of its own the launcher describes its standard
   handles, so the block holds what the command sees as its own; standard
   error on a file makes each handle tell. */
const width_case width_cases[] = {
    {"32_bit_command", 32, 0},
    {"64_bit_command", 64, 0},
    {"32_bit_command_of_a_32_bit_parent", 32, 4},
    {"64_bit_command_of_a_32_bit_parent", 64, 4},
    {"32_bit_command_of_a_64_bit_parent", 32, 8},
    {"64_bit_command_of_a_64_bit_parent", 64, 8},
};

void PrintTo(const width_case &c, std::ostream *out)
{
    *out << c.name;
}

class command_width : public e2e_test, public ::testing::WithParamInterface<width_case> {
};

TEST_P(command_width, gets_handles_of_its_own_width)
{
    const width_case &c = GetParam();
    copy_probe(join_unix(tree.work, "tool.exe"), c.command_bits);
    launch how;
    how.command_line = "launcher ..\\work tool";
    how.environment = make_environment(tree, "C:\\windows");
    how.stderr_kind = "file";
    if (c.given_width) {
        /* Standard error, a file, flagged a pipe: taken on the flag's word. */
        how.slots = {"01 null", "09 pipe", "09 stderr"};
        how.block_width = c.given_width;
    }
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, 0u);
    probe_report report;
    ASSERT_TRUE(wait_for_probe(tree, &report)) << "the command was not started";

    size_t width = (size_t)c.command_bits / 8;
    EXPECT_EQ(report.reserved_size, 4 + 3 + 3 * width);
    handle_block passed = parse_block(report.reserved, width);
    ASSERT_EQ(passed.count, 3);
    if (c.given_width) {
        handle_block given = parse_block(result.block, c.given_width);
        EXPECT_EQ(passed.flags, (std::vector<unsigned>{0x81, 0x89, 0x89}));
        EXPECT_EQ(passed.handles, given.handles);
        EXPECT_EQ(report.block_types,
                  (std::vector<unsigned long>{TYPE_CHAR, TYPE_PIPE, TYPE_DISK}));
    } else {
        EXPECT_EQ(passed.flags, (std::vector<unsigned>{0xC1, 0xC1, 0x81}));
        EXPECT_EQ(passed.handles, report.std_handles);
        EXPECT_EQ(report.block_types,
                  (std::vector<unsigned long>{TYPE_CHAR, TYPE_CHAR, TYPE_DISK}));
    }
}

INSTANTIATE_TEST_SUITE_P(cases, command_width, ::testing::ValuesIn(width_cases),
                         [](const ::testing::TestParamInfo<width_case> &info) {
                             return std::string(info.param.name);
                         });

struct append_case {
    const char *name;
    const char *flags;        /* slot 2's flag byte in the block */
    bool path_too_long;       /* a PATH of 8192 characters */
    const char *file;         /* what the file holds afterwards */
};

/* Slot 2 is a file that already holds ten bytes, its position at the start:
   with the append flag (0x20) every write goes to the end first, without
   it the message overwrites from the start. */
const append_case append_cases[] = {
    {"report_appends", "21", false, "0123456789Exec Failed: No such file or directory\r\n"},
    {"report_overwrites_without_append", "01", false,
     "Exec Failed: No such file or directory\r\n"},
    /* The bare message leaves through the stream buffer at the exit. */
    {"buffered_message_appends", "21", true,
     "0123456789Path too long for launcher, maximum size supported is 8192 bytes"},
    {"buffered_message_overwrites_without_append", "01", true,
     "Path too long for launcher, maximum size supported is 8192 bytes"},
};

void PrintTo(const append_case &c, std::ostream *out)
{
    *out << c.name;
}

class append_flag : public e2e_test, public ::testing::WithParamInterface<append_case> {
};

TEST_P(append_flag, decides_where_message_goes)
{
    const append_case &c = GetParam();
    launch how;
    how.command_line = "launcher ..\\work tool";
    std::string path = c.path_too_long ? "C:\\" + std::string(8189, 'x') : "C:\\windows";
    how.environment = make_environment(tree, path);
    how.slots = {"01 null", "01 null",
                 std::string(c.flags) + " seeded " +
                     encode_hex(to_wine_path(join_unix(tree.root, "seeded.txt")))};
    launch_result result = run_launcher(tree, how);
    ASSERT_TRUE(result.ran) << result.failure;
    EXPECT_EQ(result.exit_code, EXIT_FAILED);
    EXPECT_EQ(show_bytes(result.slot_output[2]), show_bytes(c.file));
}

INSTANTIATE_TEST_SUITE_P(cases, append_flag, ::testing::ValuesIn(append_cases),
                         [](const ::testing::TestParamInfo<append_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
