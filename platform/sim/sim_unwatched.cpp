/* Where a message can be seen, beside USER32's MessageBoxW (sim_process.cpp):
   the window station and its flags, the session, the debugger output and
   ADVAPI32's event log; and AllocConsoleWithOptions, which KERNEL32 has
   from Windows 11 24H2 on.  Each answers as the world says unless a fault
   is set. */
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

/* The process's window station: a handle the process never closes. */
int station_marker;

const sim::service get_process_window_station("GetProcessWindowStation"),
    get_user_object_information_w("GetUserObjectInformationW"),
    register_event_source_w("RegisterEventSourceW"), report_event_w("ReportEventW"),
    deregister_event_source("DeregisterEventSource"),
    allocate_console_with_options("AllocConsoleWithOptions");

HANDLE WINAPI get_station(void)
{
    return answer<HANDLE>(get_process_window_station, {}, &station_marker);
}

/* Recorded as the object, the kind asked for and the room given. */
BOOL WINAPI read_object(HANDLE object, int kind, PVOID data, DWORD size, LPDWORD needed)
{
    BOOL ok = answer<BOOL>(get_user_object_information_w,
                           {object == &station_marker, (uint64_t)kind, size}, object == &station_marker);
    if (ok && kind == UOI_FLAGS && size >= sizeof(USEROBJECTFLAGS)) {
        USEROBJECTFLAGS flags = {FALSE, FALSE, sim::world().station_visible ? WSF_VISIBLE : 0u};
        *(USEROBJECTFLAGS *)data = flags;
    }
    *needed = sizeof(USEROBJECTFLAGS);
    return ok;
}

/* Recorded as whether the server is the local one, with the source; the
   handle is the run's to close (DeregisterEventSource). */
HANDLE WINAPI register_source(LPCWSTR server, LPCWSTR source)
{
    HANDLE made = sim::open_handle(FILE_TYPE_UNKNOWN, "event source");
    sim::world().event_sources[(uintptr_t)made] = sim::utf8_of(source);
    HANDLE answered =
        answer<HANDLE>(register_event_source_w, {server == nullptr}, made, sim::utf8_of(source));
    if (answered != made)
        sim::world().handles.erase((uintptr_t)made);
    return answered;
}

BOOL WINAPI report_event(HANDLE source, WORD type, WORD category, DWORD id, PVOID user,
                         WORD count, DWORD size, LPCWSTR *strings, PVOID data)
{
    sim::event_entry entry = {sim::world().event_sources[(uintptr_t)source], type, id, {}};
    for (WORD i = 0; i < count; i++)
        entry.strings.push_back(sim::utf8_of(strings[i]));
    BOOL ok = answer<BOOL>(report_event_w,
                           {(uint64_t)(uintptr_t)source, type, category, id, user == nullptr, count,
                            size, data == nullptr},
                           TRUE);
    if (ok)
        sim::world().events.push_back(entry);
    return ok;
}

/* Closes the source's handle, as CloseHandle closes others. */
BOOL WINAPI deregister_source(HANDLE source)
{
    if (!answer<BOOL>(deregister_event_source, {(uint64_t)(uintptr_t)source}, TRUE))
        return FALSE;
    auto found = sim::world().handles.find((uintptr_t)source);
    if (found == sim::world().handles.end() || found->second.closed) {
        sim::world().bad_closes.push_back("event source");
        return FALSE;
    }
    found->second.closed = true;
    return TRUE;
}

/* Recorded as the mode and whether a window state was given; the answer
   says whether a console was made (1) or none (0). */
LONG WINAPI allocate_console(console_options *options, int *result)
{
    sim::state &world = sim::world();
    *result = world.console_asked_for;
    LONG status = answer<LONG>(allocate_console_with_options,
                               {(uint64_t)options->mode, (uint64_t)options->use_show_window}, 0);
    if (status == 0 && world.console_asked_for) {
        world.console_processes = 1;
        for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
            sim::set_std_handle(which, FILE_TYPE_CHAR);
    }
    return status;
}

template <typename function> FARPROC as_found(function *f)
{
    return (FARPROC)(void (*)(void))f;
}

} // namespace

FARPROC sim::find_unwatched_function(const std::string &library, const char *name)
{
    const struct {
        const char *library, *name;
        FARPROC function;
    } functions[] = {
        {"USER32", "GetProcessWindowStation", as_found(get_station)},
        {"USER32", "GetUserObjectInformationW", as_found(read_object)},
        {"ADVAPI32", "RegisterEventSourceW", as_found(register_source)},
        {"ADVAPI32", "ReportEventW", as_found(report_event)},
        {"ADVAPI32", "DeregisterEventSource", as_found(deregister_source)},
        {"KERNEL32", "AllocConsoleWithOptions",
         world().allocate_console_present ? as_found(allocate_console) : nullptr},
    };
    for (const auto &known : functions)
        if (library == known.library && std::string(name) == known.name)
            return known.function;
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
