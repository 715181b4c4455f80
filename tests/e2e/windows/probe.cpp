/*
 * probe.exe: the program the launcher hands over to in the end-to-end tests.
 *
 * It records what a started program receives from the launcher and writes
 * it to the file named by PROBE_OUT.  Copies of it named tool.com, tool.exe
 * and so on serve as the commands; the module path tells which copy ran.
 *
 * Report lines are "key value"; byte strings are hex, so nothing is lost to
 * code pages or line ends.  The wide forms (the *_w lines) are given in
 * UTF-8, so a test sees every character whatever the code page.  The report
 * goes to a temporary name first and is renamed into place, so the driver
 * that polls for the file never reads half of it.
 *
 * Variables that make it more than a witness:
 *   PROBE_ECHO      copy standard input to standard output, and to standard
 *                   error after the mark "err:", before reporting
 *   PROBE_CHILD     start this program (another copy) and report its pid
 *                   beside its own; the child reports to PROBE_OUT.child
 *   PROBE_HOLD      wait for this file to exist (at most a minute)
 *   PROBE_INTERRUPT end with 40 + the event at a console control event
 *                   (40 for Ctrl+C)
 *   PROBE_EXIT      end with this exit code (decimal, all 32 bits)
 *   PROBE_PARENT_CONSOLE
 *                   report whether the parent still has a console a moment
 *                   after the start (parent_console 0|1)
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

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
   handles really reached this process, not only their numbers.  The block
   is read as this program's C runtime reads it: handles as wide as its own
   pointers (4 bytes in a 32-bit probe, 8 in a 64-bit one). */
static std::string describe_block_handles(const BYTE *block, WORD size)
{
    std::string text;
    if (!block || size < 4)
        return text;
    LONG n = (LONG)read_block_word(block);
    const LONG width = (LONG)sizeof(HANDLE);
    for (LONG i = 0; n > 0 && i < n && 4 + n + width * (i + 1) <= size; i++) {
        HANDLE handle;
        memcpy(&handle, block + 4 + n + width * i, sizeof handle);
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

static std::string to_utf8(const WCHAR *wide, int length)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, 0, 0, 0, 0);
    std::string bytes((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, length, &bytes[0], n, 0, 0);
    return bytes;
}

static std::string to_utf8(const WCHAR *wide)
{
    std::string bytes = to_utf8(wide, -1);
    if (!bytes.empty())
        bytes.resize(bytes.size() - 1); /* the terminator */
    return bytes;
}

static std::string read_wide_environment_block()
{
    WCHAR *block = GetEnvironmentStringsW();
    if (!block)
        return std::string();
    const WCHAR *at = block;
    while (*at)
        at += wcslen(at) + 1;
    std::string bytes = to_utf8(block, (int)(at - block));
    FreeEnvironmentStringsW(block);
    return bytes;
}

static std::string describe_wide()
{
    WCHAR module[1024] = {0}, directory[1024] = {0};
    GetModuleFileNameW(0, module, 1023);
    GetCurrentDirectoryW(1023, directory);
    return "command_line_w " + encode_hex(to_utf8(GetCommandLineW())) + "\n" +
           "module_w " + encode_hex(to_utf8(module)) + "\n" +
           "directory_w " + encode_hex(to_utf8(directory)) + "\n" +
           "environment_w " + encode_hex(read_wide_environment_block()) + "\n";
}

static std::string read_variable(const char *name)
{
    char value[1024];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length == 0 || length >= sizeof value ? std::string() : std::string(value, length);
}

/* Starts PROBE_CHILD with the same environment but its own report file and
   no child of its own; its pid, or 0.  The probe has read both variables
   already. */
static DWORD start_child(const std::string &program)
{
    std::string out = read_variable("PROBE_OUT") + ".child";
    SetEnvironmentVariableA("PROBE_CHILD", 0);
    SetEnvironmentVariableA("PROBE_OUT", out.c_str());
    std::vector<char> command_line(program.begin(), program.end());
    command_line.push_back('\0');
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessA(program.c_str(), command_line.data(), 0, 0, FALSE, 0, 0, 0,
                                  &startup, &process);
    if (!started)
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

static void echo_input()
{
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, 0) && got > 0)
        bytes.append(buffer, got);
    DWORD written = 0;
    std::string marked = "err:" + bytes;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &written, 0);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), marked.data(), (DWORD)marked.size(), &written, 0);
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
    snprintf(number, sizeof number, "%d",
             startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : -1);
    report += std::string("show_window ") + number + "\n";
    snprintf(number, sizeof number, "%u", startup.cbReserved2);
    report += std::string("reserved_size ") + number + "\n";
    if (startup.lpReserved2)
        report += "reserved " + encode_hex(startup.lpReserved2, startup.cbReserved2) + "\n";
    report += "block_types " + describe_block_handles(startup.lpReserved2, startup.cbReserved2) +
              "\n";

    std::string handles;
    report += "std_types " + describe_standard_handles(&handles) + "\n";
    report += "std_handles " + handles + "\n";
    report += describe_wide();
    snprintf(number, sizeof number, "%lu", (unsigned long)GetCurrentProcessId());
    report += std::string("pid ") + number + "\n";
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
    std::string path = read_variable("PROBE_HOLD");
    if (path.empty())
        return;
    for (int waited = 0; waited < HOLD_LIMIT_MS; waited += HOLD_STEP_MS) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(HOLD_STEP_MS);
    }
}

/* Attaching to the parent's console succeeds while the parent has one.
   A parent that lets its console go does so just after the start, so the
   probe asks again until the parent has none, or has kept its console for
   two seconds.  Wine attaches even a GUI program to its parent's console,
   which Windows does not: the probe leaves whatever console it has first. */
static int find_parent_console()
{
    FreeConsole();
    for (int waited = 0; waited < 2000; waited += 100) {
        Sleep(100);
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return 0;
        FreeConsole();
    }
    return 1;
}

static BOOL WINAPI end_at_event(DWORD event)
{
    ExitProcess(40 + event);
    return TRUE;
}

int main()
{
    std::string path = read_variable("PROBE_OUT");
    if (path.empty())
        return 3;
    if (!read_variable("PROBE_ECHO").empty())
        echo_input();
    if (!read_variable("PROBE_INTERRUPT").empty())
        SetConsoleCtrlHandler(end_at_event, TRUE);
    std::string report = build_report();
    if (!read_variable("PROBE_PARENT_CONSOLE").empty())
        report += "parent_console " + std::to_string(find_parent_console()) + "\n";
    std::string child = read_variable("PROBE_CHILD");
    if (!child.empty()) {
        char line[32];
        snprintf(line, sizeof line, "pid %lu\n", (unsigned long)start_child(child));
        report += line;
    }
    /* The report comes first: a test that holds the probe waits for it. */
    if (write_report(path.c_str(), report) != 0)
        return 3;
    wait_for_release();
    std::string code = read_variable("PROBE_EXIT");
    return code.empty() ? 0 : (int)strtoul(code.c_str(), 0, 10);
}
