/*
 * ADVAPI32 and SHELL32 are loaded here, at the moment a start has failed
 * for want of elevation, as the windowless builds load USER32 for a
 * message box: an ordinary start never touches them, and the import table
 * stays KERNEL32 alone.
 */
#include "shim/elevate.h"
#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/library.h"
#include "runtime/limits.h"
#include "runtime/own_path.h"
#include "shim/named_start.h"

typedef BOOL(WINAPI *open_token_function)(HANDLE, DWORD, HANDLE *);
typedef BOOL(WINAPI *read_token_function)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, DWORD *);
typedef BOOL(WINAPI *shell_start_function)(SHELLEXECUTEINFOW *);

static WCHAR parameters[COMMAND_LINE_SIZE], directory[LONG_PATH_SIZE];

int runs_elevated(void)
{
    HMODULE advapi = LoadLibraryA("ADVAPI32.dll");
    open_token_function open_token = (open_token_function)find_function(advapi, "OpenProcessToken");
    read_token_function read_token = (read_token_function)find_function(advapi, "GetTokenInformation");
    HANDLE token;
    if (!open_token || !read_token || !open_token(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 1;
    TOKEN_ELEVATION elevation;
    DWORD size;
    BOOL read = read_token(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return !read || elevation.TokenIsElevated;
}

int start_self_elevated(const char *arguments, PROCESS_INFORMATION *process)
{
    static constexpr auto verb = WIDE("runas");
    shell_start_function start =
        (shell_start_function)find_function(LoadLibraryA("SHELL32.dll"), "ShellExecuteExW");
    DWORD length;
    const WCHAR *own_path = read_own_path(&length);
    if (!start || length == 0 || length >= LONG_PATH_SIZE ||
        !GetCurrentDirectoryW(LONG_PATH_SIZE, directory) ||
        !MultiByteToWideChar(CP_ACP, 0, arguments, -1, parameters, COMMAND_LINE_SIZE))
        return fail_with_last_error();
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    SHELLEXECUTEINFOW shell;
    fill_bytes(&shell, 0, sizeof shell);
    shell.cbSize = sizeof shell;
    /* The process handle, to wait for; and the start done before the call
       returns, since the launcher may end right after it. */
    shell.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    shell.lpVerb = verb;
    shell.lpFile = own_path;
    shell.lpParameters = parameters;
    shell.lpDirectory = directory;
    shell.nShow = startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : SW_SHOWNORMAL;
    if (!start(&shell))
        return fail_with_last_error();
    fill_bytes(process, 0, sizeof *process);
    process->hProcess = shell.hProcess;
    return 0;
}

/* A command whose manifest asks for administrator rights cannot be created
   by a launcher that runs as the user.  This one starts itself again,
   elevated, with the caller's arguments as they stand; the elevated copy
   reads the file and applies it where the command runs.  One prompt at
   most: an elevated launcher never asks, it reports the failure. */
int start_shim_elevated(PROCESS_INFORMATION *process)
{
    if (runs_elevated())
        return EXEC_FAILED;
    if (start_self_elevated(get_received_tail(), process) == 0)
        return EXEC_STARTED;
    if (os_error_code != ERROR_CANCELLED)
        return EXEC_FAILED;
    report_failure_with_code("Shim Failed", "elevation was declined", ERROR_CANCELLED,
                             locate_shim_setting("path = ", find_shim_value(SHIM_PATH)));
    return EXEC_REFUSED;
}
