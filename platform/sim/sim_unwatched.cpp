/* Where a message can be seen, beside USER32's MessageBoxW (sim_process.cpp):
   the window station's flags, the session, the debugger output and
   ADVAPI32's event log; and AllocConsoleWithOptions of Windows 11 24H2.
   Each answers as the world says unless a fault is set. */
#include "platform/sim/sim.h"

namespace {

template <typename result>
result answer(const sim::service &which, std::vector<uint64_t> args, result value,
              std::string text = {})
{
    sim::record(which.name, std::move(args), std::move(text));
    if (const sim::fault *f = sim::take_fault(which)) {
        SetLastError(f->error);
        return (result)f->result;
    }
    return value;
}

int station; /* the process's window station, which it never closes */
const sim::service get_process_window_station("GetProcessWindowStation"),
    get_user_object_information_w("GetUserObjectInformationW"),
    register_event_source_w("RegisterEventSourceW"), report_event_w("ReportEventW"),
    deregister_event_source("DeregisterEventSource"),
    allocate_console_with_options("AllocConsoleWithOptions");

HANDLE WINAPI get_station(void)
{
    return answer<HANDLE>(get_process_window_station, {}, &station);
}

/* Recorded as the kind asked for and the room given. */
BOOL WINAPI read_object(HANDLE object, int kind, PVOID data, DWORD size, LPDWORD needed)
{
    *needed = sizeof(USEROBJECTFLAGS);
    if (!answer<BOOL>(get_user_object_information_w, {(uint64_t)kind, size}, object == &station))
        return FALSE;
    *(USEROBJECTFLAGS *)data = {FALSE, FALSE, sim::world().station_visible ? WSF_VISIBLE : 0u};
    return TRUE;
}

/* Recorded with the source; its handle is the run's to close. */
HANDLE WINAPI register_source(LPCWSTR server, LPCWSTR source)
{
    HANDLE made = sim::open_handle(FILE_TYPE_UNKNOWN, "event source");
    sim::world().event_sources[(uintptr_t)made] = sim::utf8_of(source);
    if (answer<HANDLE>(register_event_source_w, {server == nullptr}, made, sim::utf8_of(source)))
        return made;
    sim::world().handles.erase((uintptr_t)made);
    return nullptr;
}

BOOL WINAPI report_event(HANDLE source, WORD type, WORD category, DWORD id, PVOID user,
                         WORD count, DWORD size, LPCWSTR *strings, PVOID data)
{
    sim::event_entry entry = {sim::world().event_sources[(uintptr_t)source], type, id, {}};
    for (WORD i = 0; i < count; i++)
        entry.strings.push_back(sim::utf8_of(strings[i]));
    if (!answer<BOOL>(report_event_w, {category, user == nullptr, size, data == nullptr}, TRUE))
        return FALSE;
    sim::world().events.push_back(entry);
    return TRUE;
}

/* Closes the source's handle, as CloseHandle closes others. */
BOOL WINAPI deregister_source(HANDLE source)
{
    auto found = sim::world().handles.find((uintptr_t)source);
    if (!answer<BOOL>(deregister_event_source, {}, TRUE))
        return FALSE;
    if (found == sim::world().handles.end() || found->second.closed) {
        sim::world().bad_closes.push_back("event source");
        return FALSE;
    }
    found->second.closed = true;
    return TRUE;
}

/* Recorded as the mode and whether a window state was given. */
LONG WINAPI allocate_console(console_options *options, int *result)
{
    sim::state &world = sim::world();
    *result = world.console_asked_for;
    if (answer<LONG>(allocate_console_with_options,
                     {(uint64_t)options->mode, (uint64_t)options->use_show_window}, 0) != 0 ||
        !world.console_asked_for)
        return 0;
    world.console_processes = 1;
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        sim::set_std_handle(which, FILE_TYPE_CHAR);
    return 0;
}

} // namespace

FARPROC sim::find_unwatched_function(const std::string &library, const char *name)
{
    std::string wanted = library + "." + name;
    if (wanted == "USER32.GetProcessWindowStation")
        return (FARPROC)(void (*)(void))get_station;
    if (wanted == "USER32.GetUserObjectInformationW")
        return (FARPROC)(void (*)(void))read_object;
    if (wanted == "ADVAPI32.RegisterEventSourceW")
        return (FARPROC)(void (*)(void))register_source;
    if (wanted == "ADVAPI32.ReportEventW")
        return (FARPROC)(void (*)(void))report_event;
    if (wanted == "ADVAPI32.DeregisterEventSource")
        return (FARPROC)(void (*)(void))deregister_source;
    if (wanted == "KERNEL32.AllocConsoleWithOptions" && world().allocate_console_present)
        return (FARPROC)(void (*)(void))allocate_console;
    return nullptr;
}

static const sim::service get_current_process_id("GetCurrentProcessId"),
    process_id_to_session_id("ProcessIdToSessionId");
extern "C" DWORD GetCurrentProcessId(void)
{
    return answer<DWORD>(get_current_process_id, {}, 4321);
}

extern "C" BOOL ProcessIdToSessionId(DWORD process, DWORD *session)
{
    *session = sim::world().session;
    return answer<BOOL>(process_id_to_session_id, {process}, TRUE);
}

extern "C" void OutputDebugStringW(LPCWSTR text)
{
    sim::record("OutputDebugStringW", {}, sim::utf8_of(text));
}
