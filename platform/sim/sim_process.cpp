/* Process services: command line, module, start-up information, process
   creation, the ends of a process and the unhandled-fault filter. */
#include "platform/sim/sim.h"

#include <cstring>

extern "C" LPSTR GetCommandLineA(void)
{
    sim::record("GetCommandLineA");
    auto &line = sim::world().command_line;
    return line ? line->data() : nullptr;
}

extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    sim::record("GetModuleFileNameA", {(uint64_t)(uintptr_t)module, size});
    if (const sim::fault *f = sim::take_fault("GetModuleFileNameA")) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    const std::string &path = sim::world().module_path;
    if (size == 0)
        return 0;
    /* A path that does not fit is cut and terminated, as current Windows
       does. */
    DWORD copied = path.size() < size ? (DWORD)path.size() : size - 1;
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = 0;
    if (copied < path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return copied;
}

extern "C" void GetStartupInfoA(LPSTARTUPINFOA startup)
{
    sim::record("GetStartupInfoA");
    std::memset(startup, 0, sizeof *startup);
    startup->cb = sizeof *startup;
    auto &block = sim::world().startup_block;
    if (block) {
        startup->cbReserved2 = sim::world().startup_block_size.value_or((WORD)block->size());
        startup->lpReserved2 = block->empty() ? nullptr : block->data();
    }
}

static std::optional<std::string> copy_environment(const char *block)
{
    if (!block)
        return std::nullopt;
    const char *end = block;
    while (end[0] || end[1])
        end++;
    return std::string(block, end + 2);
}

static bool rest_of_startup_zero(const STARTUPINFOA *startup)
{
    STARTUPINFOA expected;
    std::memset(&expected, 0, sizeof expected);
    expected.cb = startup->cb;
    expected.cbReserved2 = startup->cbReserved2;
    expected.lpReserved2 = startup->lpReserved2;
    return std::memcmp(&expected, startup, sizeof expected) == 0;
}

/* What the platform would refuse: a missing file, a directory, or a file the
   test marked as not a program. */
static DWORD start_error_of(const char *application)
{
    if (!application)
        return 0;
    std::string key = sim::key_of(application);
    auto marked = sim::world().start_errors.find(key);
    if (marked != sim::world().start_errors.end())
        return marked->second;
    auto found = sim::world().files.find(key);
    if (found == sim::world().files.end())
        return ERROR_FILE_NOT_FOUND;
    if (found->second & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_ACCESS_DENIED;
    return 0;
}

extern "C" BOOL CreateProcessA(LPCSTR application, LPSTR command_line,
                               LPSECURITY_ATTRIBUTES process_attributes,
                               LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                               DWORD flags, LPVOID environment, LPCSTR directory,
                               LPSTARTUPINFOA startup, LPPROCESS_INFORMATION information)
{
    sim::record("CreateProcessA", {(uint64_t)inherit_handles, flags}, application ? application : "");
    sim::process_start start;
    if (application)
        start.application = application;
    if (command_line)
        start.command_line = command_line;
    start.process_attributes_null = process_attributes == nullptr;
    start.thread_attributes_null = thread_attributes == nullptr;
    start.inherit_handles = inherit_handles;
    start.creation_flags = flags;
    start.environment = copy_environment((const char *)environment);
    if (directory)
        start.directory = directory;
    start.startup_size = startup->cb;
    start.startup_flags = startup->dwFlags;
    start.block_size = startup->cbReserved2;
    if (startup->lpReserved2)
        start.block = std::string((const char *)startup->lpReserved2, startup->cbReserved2);
    start.other_startup_fields_zero = rest_of_startup_zero(startup);
    start.current_directory = sim::world().current_directory;
    sim::world().starts.push_back(start);

    if (const sim::fault *f = sim::take_fault("CreateProcessA")) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    if (DWORD error = start_error_of(application)) {
        SetLastError(error);
        return FALSE;
    }
    information->hProcess = sim::add_handle(FILE_TYPE_UNKNOWN);
    information->hThread = sim::add_handle(FILE_TYPE_UNKNOWN);
    information->dwProcessId = 4000;
    information->dwThreadId = 4004;
    return TRUE;
}

extern "C" void ExitProcess(UINT code)
{
    sim::record("ExitProcess", {code});
    throw sim::exit_signal{code, false};
}

extern "C" HANDLE GetCurrentProcess(void)
{
    sim::record("GetCurrentProcess");
    return (HANDLE)(intptr_t)-1;
}

extern "C" BOOL TerminateProcess(HANDLE process, UINT code)
{
    sim::record("TerminateProcess", {(uint64_t)(uintptr_t)process, code});
    throw sim::exit_signal{code, true};
}

extern "C" LONG UnhandledExceptionFilter(EXCEPTION_POINTERS *pointers)
{
    sim::record("UnhandledExceptionFilter", {pointers->ExceptionRecord->ExceptionCode});
    return sim::world().filter_answer;
}
