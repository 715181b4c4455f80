/* Process services: command line, module, start-up information, process
   creation, the ends of a process and the unhandled-fault filter. */
#include "platform/sim/sim.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

/* From a copy of its exact size: a short line would otherwise live inside
   the string object, where a read past its end goes unseen. */
extern "C" LPWSTR GetCommandLineW(void)
{
    sim::record("GetCommandLineW");
    auto &line = sim::world().command_line;
    if (!line)
        return nullptr;
    auto &copy = sim::world().command_line_copy;
    copy.reset(new char16_t[line->size() + 1]);
    std::memcpy(copy.get(), line->c_str(), (line->size() + 1) * sizeof(char16_t));
    return copy.get();
}

/* A path that does not fit is cut and terminated, as current Windows does
   (or, as Windows XP does, cut to fill the buffer). */
template <typename unit>
static DWORD copy_module_path(const std::basic_string<unit> &path, unit *buffer, DWORD size)
{
    if (size == 0)
        return 0;
    if (path.size() >= size && sim::world().module_path_unterminated) {
        std::memcpy(buffer, path.data(), size * sizeof(unit));
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    DWORD copied = path.size() < size ? (DWORD)path.size() : size - 1;
    std::memcpy(buffer, path.data(), copied * sizeof(unit));
    buffer[copied] = 0;
    if (copied < path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return copied;
}

static const sim::service get_module_file_name_a("GetModuleFileNameA");
/* The ANSI form as the platform makes it, with its best-fit mapping. */
extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    sim::record(get_module_file_name_a.name, {(uint64_t)(uintptr_t)module, size});
    if (const sim::fault *f = sim::take_fault(get_module_file_name_a)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    return copy_module_path(sim::to_ansi(sim::world().module_path, true), buffer, size);
}

static const sim::service get_module_file_name_w("GetModuleFileNameW");
extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    sim::record(get_module_file_name_w.name, {(uint64_t)(uintptr_t)module, size});
    if (const sim::fault *f = sim::take_fault(get_module_file_name_w)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    return copy_module_path<char16_t>(sim::world().module_path, buffer, size);
}

extern "C" void GetStartupInfoA(LPSTARTUPINFOA startup)
{
    sim::record("GetStartupInfoA");
    std::memset(startup, 0, sizeof *startup);
    startup->cb = sizeof *startup;
    startup->dwFlags = sim::world().startup_flags;
    startup->wShowWindow = sim::world().show_window;
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
    std::string key = sim::key_as_seen(application);
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

static const sim::service create_process_a("CreateProcessA");
extern "C" BOOL CreateProcessA(LPCSTR application, LPSTR command_line,
                               LPSECURITY_ATTRIBUTES process_attributes,
                               LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                               DWORD flags, LPVOID environment, LPCSTR directory,
                               LPSTARTUPINFOA startup, LPPROCESS_INFORMATION information)
{
    sim::record(create_process_a.name, {(uint64_t)inherit_handles, flags}, application ? application : "");
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
    start.show_window = startup->wShowWindow;
    start.block_size = startup->cbReserved2;
    if (startup->lpReserved2)
        start.block = std::string((const char *)startup->lpReserved2, startup->cbReserved2);
    start.other_startup_fields_zero = rest_of_startup_zero(startup);
    start.current_directory = sim::world().current_directory;
    sim::world().starts.push_back(start);

    if (const sim::fault *f = sim::take_fault(create_process_a)) {
        SetLastError(f->error);
        sim::world().starts.back().error = f->error;
        return (BOOL)f->result;
    }
    if (DWORD error = start_error_of(application)) {
        SetLastError(error);
        sim::world().starts.back().error = error;
        return FALSE;
    }
    std::string started = application ? application : "";
    information->hProcess = sim::open_handle(FILE_TYPE_UNKNOWN, "command's process " + started);
    information->hThread = sim::open_handle(FILE_TYPE_UNKNOWN, "command's thread " + started);
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
    if (process == GetCurrentProcess())
        throw sim::exit_signal{code, true};
    return TRUE;
}

extern "C" LONG UnhandledExceptionFilter(EXCEPTION_POINTERS *pointers)
{
    sim::record("UnhandledExceptionFilter", {pointers->ExceptionRecord->ExceptionCode});
    return sim::world().filter_answer;
}

/* USER32 as far as the launcher reaches it: loaded by name, and its message
   box recorded instead of shown; SHELL32 and ADVAPI32 as the elevated start does. */
static int marker_user32, marker_shell32, marker_advapi32;

static int show_message_box(HWND, LPCWSTR text, LPCWSTR title, UINT flags)
{
    std::string text_utf8 = sim::utf8_of(text), title_utf8 = sim::utf8_of(title);
    sim::record("MessageBoxW", {flags}, title_utf8 + "|" + text_utf8);
    sim::world().boxes.push_back(sim::message_box{text_utf8, title_utf8, flags});
    return 1; /* IDOK */
}

static const sim::service load_library_a("LoadLibraryA");
extern "C" HMODULE LoadLibraryA(LPCSTR name)
{
    /* Whether WoW64's redirection was off: it decides where a 32-bit
       process finds the library. */
    sim::record(load_library_a.name, {sim::world().redirection_off}, name);
    if (const sim::fault *f = sim::take_fault(load_library_a)) {
        SetLastError(f->error);
        return (HMODULE)(uintptr_t)f->result;
    }
    std::string upper = name;
    for (char &c : upper)
        c = (char)toupper((unsigned char)c);
    if (sim::world().missing_libraries.count(upper)) {
        SetLastError(126); /* module not found */
        return nullptr;
    }
    if (strcasecmp(name, "SHELL32.dll") == 0)
        return &marker_shell32;
    return strcasecmp(name, "ADVAPI32.dll") == 0 ? &marker_advapi32 : &marker_user32;
}

static int marker_kernel32;

static const sim::service get_module_handle_a("GetModuleHandleA");
/* The launcher's own image as far as it is read: the DOS header, and the
   PE header right after it with the subsystem the world names. */
static BYTE own_image[0x40 + 94];

extern "C" HMODULE GetModuleHandleA(LPCSTR name)
{
    sim::record(get_module_handle_a.name, {}, name ? name : "");
    if (!name) {
        own_image[0] = 'M';
        own_image[1] = 'Z';
        own_image[0x3C] = 0x40;
        own_image[0x40] = 'P';
        own_image[0x41] = 'E';
        own_image[0x40 + 92] = (BYTE)sim::world().subsystem;
        return own_image;
    }
    if (const sim::fault *f = sim::take_fault(get_module_handle_a)) {
        SetLastError(f->error);
        return (HMODULE)(uintptr_t)f->result;
    }
    if (strcasecmp(name, "KERNEL32.dll") == 0)
        return &marker_kernel32;
    SetLastError(126); /* module not found */
    return nullptr;
}

static const sim::service wow64_disable_wow64_fs_redirection("Wow64DisableWow64FsRedirection");
/* Found through GetProcAddress only, as the launcher finds them.  On
   32-bit Windows they exist but fail: there is nothing to turn off. */
static BOOL WINAPI disable_redirection(PVOID *old)
{
    sim::record(wow64_disable_wow64_fs_redirection.name);
    if (const sim::fault *f = sim::take_fault(wow64_disable_wow64_fs_redirection)) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    if (!sim::world().wow64) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    *old = &marker_kernel32;
    sim::world().redirection_off = true;
    return TRUE;
}

static BOOL WINAPI revert_redirection(PVOID old)
{
    sim::record("Wow64RevertWow64FsRedirection", {old == &marker_kernel32});
    sim::world().redirection_off = false;
    return TRUE;
}

template <typename result>
static result answer(const sim::service &which, std::vector<uint64_t> args, result value,
                     std::string text = {});

/* A call refused by a fault opens nothing. */
static void forget_handle(HANDLE handle)
{
    sim::world().handles.erase((uintptr_t)handle);
}
/* The shell, unless a fault declines it, starts a process whose exit code is
   the child's; recorded as "verb|file|parameters|directory|mask|show". */
static const sim::service shell_execute_ex_w("ShellExecuteExW"),
    open_process_token("OpenProcessToken"), get_token_information("GetTokenInformation");
static BOOL WINAPI shell_execute(SHELLEXECUTEINFOW *shell)
{
    std::string text;
    for (LPCWSTR part : {shell->lpVerb, shell->lpFile, shell->lpParameters, shell->lpDirectory})
        text += sim::utf8_of(part) + "|";
    /* The fields the launcher gives no value must be zero, or the shell
       reads a window, a class or an icon out of them. */
    if (shell->cbSize != sizeof *shell || shell->hwnd || shell->hInstApp || shell->lpIDList ||
        shell->lpClass || shell->hkeyClass || shell->dwHotKey || shell->hIcon || shell->hProcess)
        text += "other fields set|";
    shell->hProcess = sim::open_handle(FILE_TYPE_UNKNOWN, "command's process of the shell");
    BOOL ok = answer<BOOL>(shell_execute_ex_w, {}, TRUE,
                           text + std::to_string(shell->fMask) + "|" + std::to_string(shell->nShow));
    if (!ok)
        forget_handle(shell->hProcess);
    return ok;
}

static BOOL WINAPI open_token(HANDLE, DWORD access, HANDLE *token)
{
    *token = sim::open_handle(FILE_TYPE_UNKNOWN, "token");
    BOOL ok = answer<BOOL>(open_process_token, {access}, TRUE);
    if (!ok)
        forget_handle(*token);
    return ok;
}

/* As elevated as the test says. */
static BOOL WINAPI read_token(HANDLE, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD, DWORD *size)
{
    ((TOKEN_ELEVATION *)data)->TokenIsElevated = sim::world().elevated;
    *size = sizeof(TOKEN_ELEVATION);
    return answer<BOOL>(get_token_information, {(uint64_t)kind}, TRUE);
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    sim::record("GetProcAddress", {(uint64_t)(uintptr_t)module}, name);
    if (module == &marker_user32 && std::strcmp(name, "MessageBoxW") == 0)
        return (FARPROC)(void (*)(void))show_message_box;
    if (module == &marker_shell32 && std::strcmp(name, "ShellExecuteExW") == 0)
        return (FARPROC)(void (*)(void))shell_execute;
    if (module == &marker_advapi32 && std::strcmp(name, "OpenProcessToken") == 0)
        return (FARPROC)(void (*)(void))open_token;
    if (module == &marker_advapi32 && std::strcmp(name, "GetTokenInformation") == 0)
        return (FARPROC)(void (*)(void))read_token;
    const char *library = module == &marker_user32     ? "USER32"
                          : module == &marker_advapi32 ? "ADVAPI32"
                          : module == &marker_kernel32 ? "KERNEL32"
                                                       : "";
    if (FARPROC found = sim::find_unwatched_function(library, name))
        return found;
    if (module != &marker_kernel32 || !sim::world().redirection_functions)
        return nullptr;
    if (std::strcmp(name, "Wow64DisableWow64FsRedirection") == 0)
        return (FARPROC)(void (*)(void))disable_redirection;
    if (std::strcmp(name, "Wow64RevertWow64FsRedirection") == 0)
        return (FARPROC)(void (*)(void))revert_redirection;
    return nullptr;
}

/* Waiting for the started process: the calls are recorded and answer as a
   healthy platform would unless a fault is set. */
template <typename result>
static result answer(const sim::service &which, std::vector<uint64_t> args, result value,
                     std::string text)
{
    sim::record(which.name, std::move(args), std::move(text));
    if (const sim::fault *f = sim::take_fault(which)) {
        SetLastError(f->error);
        return (result)f->result;
    }
    return value;
}

static const sim::service wait_for_single_object("WaitForSingleObject");
extern "C" DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    sim::world().waited = true;
    auto found = sim::world().handles.find((uintptr_t)object);
    if (found != sim::world().handles.end())
        found->second.handed_on = true;
    return answer<DWORD>(wait_for_single_object, {(uint64_t)(uintptr_t)object, milliseconds},
                         WAIT_OBJECT_0);
}

static const sim::service get_exit_code_process("GetExitCodeProcess");
extern "C" BOOL GetExitCodeProcess(HANDLE process, LPDWORD code)
{
    BOOL ok = answer<BOOL>(get_exit_code_process, {(uint64_t)(uintptr_t)process}, process != 0);
    if (ok)
        *code = sim::world().child_exit_code;
    return ok;
}

static const sim::service close_handle("CloseHandle");
extern "C" BOOL CloseHandle(HANDLE object)
{
    if (!answer<BOOL>(close_handle, {(uint64_t)(uintptr_t)object}, TRUE))
        return FALSE;
    auto found = sim::world().handles.find((uintptr_t)object);
    if (found == sim::world().handles.end() || found->second.closed) {
        char number[32];
        std::snprintf(number, sizeof number, "0x%zX", (size_t)(uintptr_t)object);
        sim::world().bad_closes.push_back(number);
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    found->second.closed = true;
    return TRUE;
}

static const sim::service set_console_ctrl_handler("SetConsoleCtrlHandler");
extern "C" BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    BOOL ok = answer<BOOL>(set_console_ctrl_handler, {handler != nullptr, (uint64_t)add}, TRUE);
    if (ok && add)
        sim::world().ctrl_handler = handler;
    return ok;
}

static const sim::service create_job_object_a("CreateJobObjectA");
extern "C" HANDLE CreateJobObjectA(LPSECURITY_ATTRIBUTES attributes, LPCSTR name)
{
    HANDLE job = sim::open_handle(FILE_TYPE_UNKNOWN, "job");
    HANDLE made = answer<HANDLE>(create_job_object_a, {attributes == nullptr, name == nullptr}, job);
    if (made != job)
        forget_handle(job);
    return made;
}

static const sim::service set_information_job_object("SetInformationJobObject");
/* Records the job's limit flags, the only part the launcher sets. */
extern "C" BOOL SetInformationJobObject(HANDLE job, JOBOBJECTINFOCLASS kind, LPVOID information,
                                        DWORD size)
{
    DWORD limits = ((JOBOBJECT_EXTENDED_LIMIT_INFORMATION *)information)->BasicLimitInformation.LimitFlags;
    return answer<BOOL>(set_information_job_object,
                        {(uint64_t)(uintptr_t)job, (uint64_t)kind, limits, size}, TRUE);
}

static const sim::service assign_process_to_job_object("AssignProcessToJobObject");
/* A job the launcher is in lives as long as the launcher: handed on. */
extern "C" BOOL AssignProcessToJobObject(HANDLE job, HANDLE process)
{
    BOOL ok = answer<BOOL>(assign_process_to_job_object,
                           {(uint64_t)(uintptr_t)job, (uint64_t)(uintptr_t)process}, TRUE);
    auto found = sim::world().handles.find((uintptr_t)job);
    if (ok && found != sim::world().handles.end())
        found->second.handed_on = true;
    return ok;
}

static const sim::service get_console_process_list("GetConsoleProcessList");
/* As many process ids as the list has room for, so a count larger than the
   list writes past it; a count of 0 is refused.  Without a console: 0. */
extern "C" DWORD GetConsoleProcessList(LPDWORD list, DWORD count)
{
    DWORD processes = sim::world().console_processes;
    for (DWORD i = 0; i < count && i < processes; i++)
        list[i] = 4000 + i;
    return answer<DWORD>(get_console_process_list, {count}, count ? processes : 0);
}

static const sim::service free_console("FreeConsole");
extern "C" BOOL FreeConsole(void)
{
    return answer<BOOL>(free_console, {}, TRUE);
}
