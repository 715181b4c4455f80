/*
 * Where a kept message is shown.  A message box waits until someone
 * dismisses it; on a desktop nobody can reach (a service's, or that of a
 * scheduled task set to run whether or not a user is logged on) it would
 * wait forever, and the task with it: it would never report, and its next
 * run might not start.  So a box is shown only where a user can see it:
 * USER32 loads, the process's window station is visible, and the process
 * is not in session 0, where services run.  Anywhere else the message goes
 * to the debugger output and to the Application event log, where an
 * administrator looks for the failures of what runs unattended.  USER32
 * and ADVAPI32 are loaded only here, at that moment.
 */
#include "runtime/kept_message.h"
#include "runtime/bytes.h"
#include "runtime/library.h"
#include "runtime/limits.h"
#include "runtime/own_path.h"

typedef HANDLE(WINAPI *get_station_function)(void);
typedef BOOL(WINAPI *read_object_function)(HANDLE, int, PVOID, DWORD, LPDWORD);
typedef int(WINAPI *message_box_function)(HWND, LPCWSTR, LPCWSTR, UINT);
typedef HANDLE(WINAPI *register_source_function)(LPCWSTR, LPCWSTR);
typedef BOOL(WINAPI *report_event_function)(HANDLE, WORD, WORD, DWORD, PVOID, WORD, DWORD,
                                            LPCWSTR *, PVOID);
typedef BOOL(WINAPI *deregister_source_function)(HANDLE);

/* The project's own source, whatever a copy is called: a copy's name could
   be that of a source another program registered, or of a log. */
static constexpr auto event_source = WIDE("Launcher");
/* The source has no message file: the log shows the event's strings. */
enum { EVENT_ID = 1 };

/* The box, or null where no user could see it. */
static message_box_function find_visible_box(void)
{
    DWORD session;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session) || session == 0)
        return 0;
    HMODULE user = LoadLibraryA("USER32.dll");
    get_station_function get_station =
        (get_station_function)find_function(user, "GetProcessWindowStation");
    read_object_function read_object =
        (read_object_function)find_function(user, "GetUserObjectInformationW");
    USEROBJECTFLAGS flags;
    DWORD size;
    if (!get_station || !read_object ||
        !read_object(get_station(), UOI_FLAGS, &flags, sizeof flags, &size) ||
        !(flags.dwFlags & WSF_VISIBLE))
        return 0;
    return (message_box_function)find_function(user, "MessageBoxW");
}

/* The program's file name, as the user sees it in the shortcut. */
static const WCHAR *find_file_name(const WCHAR *path)
{
    const WCHAR *name = path;
    for (const WCHAR *at = path; *at; at++)
        if (*at == '\\' || *at == '/')
            name = at + 1;
    return name;
}

/* The event log refuses a longer string; it is cut at the limit, never
   between the two units of one character. */
static void cut_for_event_log(WCHAR *text, unsigned length)
{
    if (length <= EVENT_STRING_LIMIT)
        return;
    length = EVENT_STRING_LIMIT;
    if (text[length - 1] >= 0xD800 && text[length - 1] < 0xDC00)
        length--;
    text[length] = 0;
}

static void report_to_event_log(const WCHAR **strings)
{
    HMODULE advapi = LoadLibraryA("ADVAPI32.dll");
    register_source_function register_source =
        (register_source_function)find_function(advapi, "RegisterEventSourceW");
    report_event_function report_event =
        (report_event_function)find_function(advapi, "ReportEventW");
    deregister_source_function deregister_source =
        (deregister_source_function)find_function(advapi, "DeregisterEventSource");
    HANDLE source =
        register_source && report_event && deregister_source ? register_source(0, event_source) : 0;
    if (!source)
        return;
    report_event(source, EVENTLOG_ERROR_TYPE, 0, EVENT_ID, 0, 2, 0, strings, 0);
    deregister_source(source);
}

void show_message(WCHAR *text, unsigned length, int box_allowed)
{
    DWORD program_length;
    WCHAR *program = read_own_path(&program_length);
    message_box_function box = box_allowed ? find_visible_box() : 0;
    if (box) {
        box(0, text, find_file_name(program), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        return;
    }
    OutputDebugStringW(text);
    cut_for_event_log(program, program_length);
    cut_for_event_log(text, length);
    const WCHAR *strings[2] = {program, text};
    report_to_event_log(strings);
}
