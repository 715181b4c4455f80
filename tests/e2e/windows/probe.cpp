/*
 * probe.exe: the program the launcher hands over to in the end-to-end tests.
 *
 * It records what a started program receives from the launcher and writes
 * it to the file named by PROBE_OUT.  Copies of it named tool.com, tool.exe
 * and so on serve as the commands; the module path tells which copy ran.
 *
 * Report lines are "key value"; byte strings are hex, so nothing is lost to
 * code pages or line ends.  The report goes to a temporary name first and is
 * renamed into place, so the driver that polls for the file never reads half
 * of it.
 */
#include <windows.h>

#include <stdio.h>
#include <string>

#include "hex_text.h"

static std::string read_environment_block()
{
    char *block = GetEnvironmentStringsA();
    if (!block)
        return std::string();
    const char *at = block;
    while (*at)
        at += strlen(at) + 1;
    std::string bytes(block, (size_t)(at - block));
    FreeEnvironmentStringsA(block);
    return bytes;
}

static DWORD read_block_word(const BYTE *at)
{
    return (DWORD)at[0] | (DWORD)at[1] << 8 | (DWORD)at[2] << 16 | (DWORD)at[3] << 24;
}

/* The type of every handle the inherited block names shows whether the
   handles really reached this process, not only their numbers. */
static std::string describe_block_handles(const BYTE *block, WORD size)
{
    std::string text;
    if (!block || size < 4)
        return text;
    LONG n = (LONG)read_block_word(block);
    for (LONG i = 0; n > 0 && i < n && 4 + n + 4 * (i + 1) <= size; i++) {
        HANDLE handle = (HANDLE)(INT_PTR)(LONG)read_block_word(block + 4 + n + 4 * i);
        char item[16];
        snprintf(item, sizeof item, "%s%lu", i ? " " : "",
                 handle == INVALID_HANDLE_VALUE ? 0ul : (unsigned long)GetFileType(handle));
        text += item;
    }
    return text;
}

static std::string describe_standard_handles(std::string *handles)
{
    static const DWORD names[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    std::string types;
    for (int i = 0; i < 3; i++) {
        HANDLE handle = GetStdHandle(names[i]);
        char item[32];
        snprintf(item, sizeof item, "%s%lu", i ? " " : "", (unsigned long)GetFileType(handle));
        types += item;
        snprintf(item, sizeof item, "%s%08lx", i ? " " : "", (unsigned long)(UINT_PTR)handle);
        *handles += item;
    }
    return types;
}

static std::string build_report()
{
    std::string report;
    char number[32];
    snprintf(number, sizeof number, "%u", GetACP());
    report += std::string("acp ") + number + "\n";
    report += "command_line " + encode_hex(GetCommandLineA()) + "\n";

    char module[1024] = {0};
    GetModuleFileNameA(0, module, sizeof module - 1);
    report += "module " + encode_hex(module) + "\n";

    char directory[1024] = {0};
    GetCurrentDirectoryA(sizeof directory - 1, directory);
    report += "directory " + encode_hex(directory) + "\n";
    report += "environment " + encode_hex(read_environment_block()) + "\n";

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    GetStartupInfoA(&startup);
    snprintf(number, sizeof number, "%u", startup.cbReserved2);
    report += std::string("reserved_size ") + number + "\n";
    if (startup.lpReserved2)
        report += "reserved " + encode_hex(startup.lpReserved2, startup.cbReserved2) + "\n";
    report += "block_types " + describe_block_handles(startup.lpReserved2, startup.cbReserved2) +
              "\n";

    std::string handles;
    report += "std_types " + describe_standard_handles(&handles) + "\n";
    report += "std_handles " + handles + "\n";
    return report;
}

static int write_report(const char *path, const std::string &report)
{
    std::string temporary = std::string(path) + ".tmp";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, report.data(), (DWORD)report.size(), &written, 0);
    CloseHandle(file);
    if (!ok || written != report.size())
        return 1;
    return MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

enum { HOLD_LIMIT_MS = 60000, HOLD_STEP_MS = 10 };

static void wait_for_release()
{
    char path[1024];
    DWORD length = GetEnvironmentVariableA("PROBE_HOLD", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    for (int waited = 0; waited < HOLD_LIMIT_MS; waited += HOLD_STEP_MS) {
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(HOLD_STEP_MS);
    }
}

int main()
{
    wait_for_release();
    char path[1024];
    DWORD length = GetEnvironmentVariableA("PROBE_OUT", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 3;
    return write_report(path, build_report());
}
