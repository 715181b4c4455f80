/* Starting the command in the launcher's place. */
#include "tests/unit/fixture.h"

#include "arch/native_view.h"
#include "exec/exec.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/handle_table.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

using strings = std::vector<std::string>;

class hand_over_test : public launcher_test {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::add_file("C:\\bin\\tool.exe");
        sim::world().current_directory = "C:\\bin";
    }

    /* start_overlay with the name and arguments, a name of "*" standing for
       the file found; true when the launcher ended. */
    bool start(const std::string &file, strings arguments, char **environment = nullptr,
               int *result = nullptr)
    {
        exact_texts exact = make_exact_texts(arguments);
        command_words words = {arguments[0] == "*" ? nullptr : exact.vector[0],
                               exact.vector.data() + 1};
        try {
            command_search search = make_search(words, environment);
            HANDLE opened = open_found_file(file.c_str());
            unsigned width = find_handle_width(file.c_str(), opened, &search.gui_program);
            if (opened != INVALID_HANDLE_VALUE)
                CloseHandle(opened);
            int value = finish_if_started(start_overlay(file.c_str(), width, &search), &search);
            if (result)
                *result = value;
            return false;
        } catch (const sim::exit_signal &end) {
            EXPECT_EQ(end.code, 0u);
            EXPECT_FALSE(end.terminated);
            return true;
        }
    }

    const sim::process_start &last_start()
    {
        return sim::world().starts.back();
    }
};

struct join_case {
    strings arguments;
    std::string command_line;
};

TEST_F(hand_over_test, arguments_are_joined_by_single_spaces_and_never_quoted)
{
    const join_case cases[] = {
        {{"tool"}, "tool"},
        {{"tool", "a", "b"}, "tool a b"},
        {{"tool", "x y"}, "tool x y"},
        {{"tool", "say \"hi\"", "\t"}, "tool say \"hi\" \t"},
        {{"tool", ""}, "tool"},
        {{"tool", "", ""}, "tool  "},
        {{"tool", "", "b"}, "tool  b"},
        {{"tool", "a", ""}, "tool a "},
        /* An empty command still passes its arguments, each after a space,
           so the program reads an empty name and then them. */
        {{"", "a", "b"}, " a b"},
        {{""}, ""},
        /* The file found as the name is quoted; what follows is not. */
        {{"*", "a \"b\"", "c"}, "\"C:\\bin\\tool.exe\" a \"b\" c"},
        {{"*"}, "\"C:\\bin\\tool.exe\""},
    };
    for (const join_case &c : cases) {
        SetUp();
        start_runtime();
        int allocations = sim::world().allocations;
        EXPECT_TRUE(start("C:\\bin\\tool.exe", c.arguments));
        EXPECT_EQ(last_start().command_line, c.command_line);
        size_t size = 2;
        for (const std::string &argument : c.arguments)
            size += &argument == &c.arguments[0] && argument == "*" ? 15 + 3 : argument.size() + 1;
        EXPECT_EQ(sim::calls_named("HeapAlloc")[allocations].args[2], size);
    }
}

TEST_F(hand_over_test, the_process_gets_exactly_the_documented_parameters)
{
    /* launcher.exe's block is its own, whatever window state the caller gave. */
    sim::world().startup_flags = STARTF_USESHOWWINDOW;
    sim::world().show_window = SW_SHOWMAXIMIZED;
    start_runtime();
    set_error(13, 5);
    EXPECT_TRUE(start(".\\tool.exe", {"tool", "-v"}));
    const sim::process_start &s = last_start();
    EXPECT_EQ(s.application, ".\\tool.exe");
    EXPECT_EQ(s.command_line, "tool -v");
    EXPECT_TRUE(s.process_attributes_null);
    EXPECT_TRUE(s.thread_attributes_null);
    EXPECT_EQ(s.inherit_handles, TRUE);
    EXPECT_EQ(s.creation_flags, 0u);
    EXPECT_FALSE(s.environment.has_value());
    EXPECT_FALSE(s.directory.has_value());
    EXPECT_EQ(s.startup_size, sizeof(STARTUPINFOA));
    EXPECT_EQ(s.startup_flags, 0u);
    EXPECT_TRUE(s.other_startup_fields_zero);
    /* Cleared just before the start, and left so when it succeeds. */
    EXPECT_EQ(error_number, 0);
    EXPECT_EQ(os_error_code, 0u);
    /* The last error is read at once, the block released, and the launcher
       ends without releasing anything else. */
    strings names = sim::call_names();
    auto created = std::find(names.begin(), names.end(), "CreateProcessA");
    ASSERT_NE(created, names.end());
    EXPECT_EQ(strings(created, names.end()),
              (strings{"CreateProcessA", "GetLastError", "HeapFree", "ExitProcess"}));
}

TEST_F(hand_over_test, the_quick_exit_leaves_pending_output_unwritten)
{
    HANDLE file = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_DISK);
    start_runtime();
    print_error_stream("pending");
    EXPECT_TRUE(start("C:\\bin\\tool.exe", {"tool"}));
    EXPECT_EQ(sim::output_of(file), "");
}

/* Handles of `width` bytes, a 4-byte value sign-extended to 8. */
std::string block_bytes(int32_t n, const std::vector<uint8_t> &flags,
                        const std::vector<uint32_t> &handles, size_t width = 4)
{
    std::string block(reinterpret_cast<const char *>(&n), 4);
    block.append(flags.begin(), flags.end());
    for (uint32_t handle : handles) {
        int64_t value = (int32_t)handle;
        block.append(reinterpret_cast<const char *>(&value), width);
    }
    return block;
}

/* "MZ", the offset of the PE header at 0x3C, and there "PE\0\0" and the
   machine. */
std::string program_header(uint16_t machine, uint32_t at = 0x80)
{
    std::string bytes(at + 6, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    std::memcpy(&bytes[0x3C], &at, 4);
    std::memcpy(&bytes[at], "PE\0\0", 4);
    std::memcpy(&bytes[at + 4], &machine, 2);
    return bytes;
}

uint32_t value_of(HANDLE handle)
{
    return (uint32_t)(uintptr_t)handle;
}

TEST_F(hand_over_test, the_standard_slots_alone_make_a_block_of_19_bytes)
{
    HANDLE in = sim::set_std_handle(STD_INPUT_HANDLE, FILE_TYPE_PIPE);
    HANDLE out = sim::set_std_handle(STD_OUTPUT_HANDLE, FILE_TYPE_DISK);
    start_runtime();
    EXPECT_TRUE(start("C:\\bin\\tool.exe", {"tool"}));
    EXPECT_EQ(last_start().block_size, 19);
    EXPECT_EQ(last_start().block,
              block_bytes(3, {0x89, 0x81, 0xC1}, {value_of(in), value_of(out), value_of(standard_error)}));
}

struct width_case {
    const char *name;
    const char *file;
    std::string bytes;
    bool system_64; /* the 32-bit launcher runs on 64-bit Windows */
    size_t width;
    std::string interpreter = {}; /* System32\cmd.exe; ComSpec names it when given */
    std::string comspec = "C:\\Windows\\System32\\cmd.exe"; /* where the interpreter is */
};

/* A C runtime reads the block with handles as wide as its own pointers. */
TEST_F(hand_over_test, the_block_is_written_in_the_commands_width)
{
    std::string far_offset = program_header(0x8664);
    far_offset[0x3D] = 0x7F; /* the PE header lies past the file's end */
    /* "PE\0\0" with one of its last two bytes wrong */
    std::string third_wrong = program_header(0x8664), fourth_wrong = third_wrong;
    third_wrong[0x82] = 1;
    fourth_wrong[0x83] = 1;
    /* A whole DOS header of 64 bytes that ends the file, with the PE header
       inside it at 4; and the same one byte short. */
    std::string inside(64, '\0');
    inside[0] = 'M';
    inside[1] = 'Z';
    inside[0x3C] = 4;
    std::memcpy(&inside[4], "PE\0\0\x64\x86", 6);
    std::string inside_cut = inside.substr(0, 63);
    /* A file that ends inside the machine field, the byte the field lacks
       standing in the DOS header where a read into the same bytes finds it. */
    std::string machine_cut = program_header(0x8664).substr(0, 0x80 + 5);
    machine_cut[5] = (char)0x86;
    const width_case cases[] = {
        {"x86 program on 64-bit Windows", "C:\\bin\\tool.exe", program_header(0x014C), true, 4},
        {"x64 program", "C:\\bin\\tool.exe", program_header(0x8664), false, 8},
        {"ARM64 program", "C:\\bin\\tool.exe", program_header(0xAA64), false, 8},
        {"header far into the file", "C:\\bin\\tool.exe", program_header(0x8664, 0x1000), false, 8},
        {"unknown machine", "C:\\bin\\tool.exe", program_header(0x1234), true, 4},
        {"no PE header", "C:\\bin\\tool.com", "MZ" + std::string(62, '\0'), true, 4},
        {"PE header inside the DOS header", "C:\\bin\\tool.exe", inside, false, 8},
        {"PE header inside a DOS header cut short", "C:\\bin\\tool.exe", inside_cut, false, 4},
        {"machine field cut after one byte", "C:\\bin\\tool.exe", machine_cut, false, 4},
        {"header past the end", "C:\\bin\\tool.exe", far_offset, false, 4},
        {"signature wrong in its third byte", "C:\\bin\\tool.exe", third_wrong, false, 4},
        {"signature wrong in its fourth byte", "C:\\bin\\tool.exe", fourth_wrong, false, 4},
        {"empty file", "C:\\bin\\tool.exe", "", true, 4},
        {"batch file on 32-bit Windows", "C:\\bin\\tool.bat", "", false, 4},
        {"batch file on 64-bit Windows", "C:\\bin\\TOOL.CMD", "", true, 8},
        {"32-bit ComSpec", "C:\\bin\\tool.bat", "", true, 4, program_header(0x014C)},
        {"64-bit ComSpec, seen natively", "C:\\bin\\tool.bat", "", true, 8, program_header(0x8664)},
        {"unreadable ComSpec", "C:\\bin\\tool.bat", "", true, 8, "MZ"},
        /* However short its name: a file of the working directory. */
        {"ComSpec of one character", "C:\\bin\\tool.bat", "", true, 4, program_header(0x014C), "c"},
    };
    for (const width_case &c : cases) {
        SetUp();
        sim::add_file_bytes(c.file, c.bytes);
        sim::world().std_handles.erase(STD_INPUT_HANDLE);
        HANDLE out = sim::set_std_handle(STD_OUTPUT_HANDLE, FILE_TYPE_DISK);
        sim::world().wow64 = c.system_64;
        sim::add_file_bytes(c.comspec, c.interpreter);
        sim::add_file_bytes("C:\\Windows\\SysWOW64\\cmd.exe", program_header(0x014C));
        if (!c.interpreter.empty())
            sim::set_variable("ComSpec", c.comspec);
        start_runtime();
        enter_native_view();
        EXPECT_TRUE(start(c.file, {"tool"})) << c.name;
        EXPECT_EQ(last_start().block_size, 4 + 3 + 3 * c.width) << c.name;
        EXPECT_EQ(last_start().block, block_bytes(3, {0xC1, 0x81, 0xC1},
                                                  {0xFFFFFFFF, value_of(out), value_of(standard_error)},
                                                  c.width))
            << c.name;
        /* A program's header is read, and the file closed again, before the
           start; a batch file is known by its name. */
        bool batch = std::strstr(c.file, ".bat") || std::strstr(c.file, ".CMD");
        EXPECT_EQ(sim::calls_named("CreateFileA").size(), batch && c.interpreter.empty() ? 0u : 1u)
            << c.name;
        EXPECT_EQ(sim::calls_named("CloseHandle").size(), sim::calls_named("CreateFileA").size())
            << c.name;
    }
}

TEST_F(hand_over_test, the_block_describes_slots_up_to_the_highest_in_use)
{
    sim::world().std_handles.erase(STD_INPUT_HANDLE);
    HANDLE out = sim::set_std_handle(STD_OUTPUT_HANDLE, FILE_TYPE_CHAR);
    HANDLE kept = sim::add_handle(FILE_TYPE_DISK);
    HANDLE private_handle = sim::add_handle(FILE_TYPE_DISK);
    start_runtime();
    find_slot(5)->handle = kept;
    find_slot(5)->flags = 0x01 | 0x04 | 0x20; /* the meaningless bit goes along */
    find_slot(7)->handle = private_handle;
    find_slot(7)->flags = 0x01 | SLOT_NO_INHERIT;
    EXPECT_TRUE(start("C:\\bin\\tool.exe", {"tool"}));
    const uint32_t none = 0xFFFFFFFF;
    EXPECT_EQ(last_start().block_size, 5 * 8 + 4);
    EXPECT_EQ(last_start().block,
              block_bytes(8, {0xC1, 0xC1, 0xC1, 0, 0, 0x25, 0, 0},
                          {none, value_of(out), value_of(standard_error), none, none,
                           value_of(kept), none, none}));
}

TEST_F(hand_over_test, a_failed_start_maps_the_error_and_releases_both_buffers)
{
    const struct {
        DWORD os_error;
        int number;
    } cases[] = {{ERROR_FILE_NOT_FOUND, 2}, {ERROR_PATH_NOT_FOUND, 2}, {ERROR_ACCESS_DENIED, 13},
                 {ERROR_NOT_ENOUGH_MEMORY, 12}, {ERROR_BAD_EXE_FORMAT, 8}, {191, 8}, {216, 22}};
    for (const auto &c : cases) {
        SetUp();
        start_runtime();
        size_t live = sim::live_allocations();
        sim::fail_call("CreateProcessA", 1, FALSE, c.os_error);
        int result = 0;
        EXPECT_FALSE(start("C:\\bin\\tool.exe", {"tool"}, nullptr, &result));
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error_number, c.number) << c.os_error;
        EXPECT_EQ(os_error_code, c.os_error);
        EXPECT_EQ(sim::live_allocations(), live) << c.os_error;
        EXPECT_TRUE(written_chunks().empty());
    }
}

TEST_F(hand_over_test, no_memory_for_the_buffers_starts_nothing)
{
    for (int failing = 1; failing <= 2; failing++) {
        SetUp();
        start_runtime();
        size_t live = sim::live_allocations();
        sim::fail_allocation(sim::world().allocations + failing);
        int result = 0;
        EXPECT_FALSE(start("C:\\bin\\tool.exe", {"tool"}, nullptr, &result)) << failing;
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error_number, NOT_ENOUGH_SPACE) << failing;
        EXPECT_EQ(os_error_code, (DWORD)ERROR_NOT_ENOUGH_MEMORY) << failing;
        EXPECT_TRUE(sim::world().starts.empty()) << failing;
        EXPECT_EQ(sim::live_allocations(), live) << failing;
    }
}

TEST_F(hand_over_test, an_environment_of_its_own_keeps_the_drive_directories_first)
{
    sim::world().environment = {"=::=::\\", "=C:=C:\\bin", "PATH=C:\\tools", "=ExitCode=00000000",
                                "=D:=D:\\x"};
    start_runtime();
    std::string one = "A=1", two = "B=";
    char *environment[] = {one.data(), two.data(), nullptr};
    EXPECT_TRUE(start("C:\\bin\\tool.exe", {"tool"}, environment));
    EXPECT_EQ(last_start().environment,
              std::string("=C:=C:\\bin\0=D:=D:\\x\0A=1\0B=\0\0", 28));

    /* A failed start releases that block too. */
    SetUp();
    start_runtime();
    size_t live = sim::live_allocations();
    sim::fail_call("CreateProcessA", 1, FALSE, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(start("C:\\bin\\tool.exe", {"tool"}, environment));
    EXPECT_EQ(sim::live_allocations(), live);
}

} // namespace
