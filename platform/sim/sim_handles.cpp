/* Handles and their types, standard handles, writes and file positions. */
#include "platform/sim/sim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {

HANDLE add_handle(DWORD type)
{
    uintptr_t value = world().next_handle;
    world().next_handle += 4;
    world().handles[value] = handle_object{type, {}, {}, 0, {}};
    return (HANDLE)value;
}

HANDLE open_handle(DWORD type, const std::string &opened_as)
{
    HANDLE handle = add_handle(type);
    world().handles[(uintptr_t)handle].opened_as = opened_as;
    return handle;
}

std::vector<std::string> handle_faults()
{
    std::vector<std::string> faults;
    for (const auto &[value, object] : world().handles) {
        bool command = object.opened_as.rfind("command's", 0) == 0;
        if (object.opened_as.empty() || object.closed || object.handed_on ||
            (command && !world().waited))
            continue;
        char number[32];
        std::snprintf(number, sizeof number, " 0x%zX", (size_t)value);
        faults.push_back("left open: " + object.opened_as + number);
    }
    for (const std::string &close : world().bad_closes)
        faults.push_back("closed but not open: " + close);
    return faults;
}

HANDLE set_std_handle(DWORD which, DWORD type)
{
    HANDLE handle = add_handle(type);
    world().std_handles[which] = handle;
    return handle;
}

const std::string &output_of(HANDLE handle)
{
    static const std::string none;
    auto found = world().handles.find((uintptr_t)handle);
    return found == world().handles.end() ? none : found->second.output;
}

} // namespace sim

static sim::handle_object *find_handle(HANDLE handle)
{
    auto found = sim::world().handles.find((uintptr_t)handle);
    return found == sim::world().handles.end() ? nullptr : &found->second;
}

static const sim::service get_std_handle("GetStdHandle");
extern "C" HANDLE GetStdHandle(DWORD which)
{
    sim::record(get_std_handle.name, {which});
    if (const sim::fault *f = sim::take_fault(get_std_handle)) {
        SetLastError(f->error);
        return (HANDLE)(uintptr_t)f->result;
    }
    auto found = sim::world().std_handles.find(which);
    return found == sim::world().std_handles.end() ? INVALID_HANDLE_VALUE : found->second;
}

static const sim::service get_file_type("GetFileType");
extern "C" DWORD GetFileType(HANDLE handle)
{
    sim::record(get_file_type.name, {(uint64_t)(uintptr_t)handle});
    if (const sim::fault *f = sim::take_fault(get_file_type)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    sim::handle_object *object = find_handle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    return object->type;
}

extern "C" UINT SetHandleCount(UINT count)
{
    sim::record("SetHandleCount", {count});
    return count;
}

extern "C" BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD count, LPDWORD written, LPVOID overlapped)
{
    std::string bytes((const char *)data, count);
    sim::record("WriteFile", {(uint64_t)(uintptr_t)handle, count, overlapped != nullptr}, bytes);
    int occurrence = ++sim::world().writes;
    *written = 0;
    DWORD accepted = count;
    for (const sim::write_fault &f : sim::world().write_faults) {
        if (f.occurrence != occurrence)
            continue;
        if (f.fails) {
            SetLastError(f.error);
            return FALSE;
        }
        accepted = f.accepted < count ? f.accepted : count;
    }
    sim::handle_object *object = find_handle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->output += bytes.substr(0, accepted);
    *written = accepted;
    return TRUE;
}

static const sim::service set_file_pointer("SetFilePointer");
extern "C" DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distance_high, DWORD method)
{
    sim::record(set_file_pointer.name,
                {(uint64_t)(uintptr_t)handle, (uint64_t)(uint32_t)distance, distance_high != nullptr, method});
    if (const sim::fault *f = sim::take_fault(set_file_pointer)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    sim::handle_object *object = find_handle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    /* Reads move from the start; writes only ever go to the end. */
    if (method == FILE_BEGIN) {
        object->position = (uint32_t)distance;
        return (DWORD)distance;
    }
    return (DWORD)object->output.size();
}

static const sim::service read_file("ReadFile");
extern "C" BOOL ReadFile(HANDLE handle, LPVOID data, DWORD count, LPDWORD read, LPVOID overlapped)
{
    sim::record(read_file.name, {(uint64_t)(uintptr_t)handle, count, overlapped != nullptr});
    *read = 0;
    if (const sim::fault *f = sim::take_fault(read_file)) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    sim::handle_object *object = find_handle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    size_t left = object->position < object->input.size() ? object->input.size() - object->position : 0;
    *read = (DWORD)std::min<size_t>(count, left);
    std::memcpy(data, object->input.data() + object->position, *read);
    object->position += *read;
    return TRUE;
}

extern "C" void OutputDebugStringA(LPCSTR text)
{
    sim::record("OutputDebugStringA", {}, text);
}
