/* Current directory and file attributes. */
#include "platform/sim/sim.h"

#include <cstring>

static bool is_directory(const std::string &key)
{
    auto found = sim::world().files.find(key);
    return found != sim::world().files.end() && (found->second & FILE_ATTRIBUTE_DIRECTORY);
}

/* An access error set for a path covers everything below it too. */
static DWORD access_error_of(const std::string &key)
{
    for (const auto &entry : sim::world().access_errors) {
        const std::string &prefix = entry.first;
        if (key.compare(0, prefix.size(), prefix) == 0 &&
            (key.size() == prefix.size() || key[prefix.size()] == '\\'))
            return entry.second;
    }
    return 0;
}

extern "C" DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    sim::record("GetCurrentDirectoryA", {size});
    if (const sim::fault *f = sim::take_fault("GetCurrentDirectoryA")) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    const std::string &cwd = sim::world().current_directory;
    if (cwd.size() + 1 > size)
        return (DWORD)cwd.size() + 1;
    std::memcpy(buffer, cwd.c_str(), cwd.size() + 1);
    return (DWORD)cwd.size();
}

extern "C" DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    sim::record("GetCurrentDirectoryW", {size});
    if (const sim::fault *f = sim::take_fault("GetCurrentDirectoryW")) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    std::u16string cwd = sim::from_ansi(sim::world().current_directory);
    if (cwd.size() + 1 > size)
        return (DWORD)cwd.size() + 1;
    std::memcpy(buffer, cwd.c_str(), (cwd.size() + 1) * sizeof(WCHAR));
    return (DWORD)cwd.size();
}

extern "C" BOOL SetCurrentDirectoryA(LPCSTR path)
{
    sim::record("SetCurrentDirectoryA", {}, path);
    if (const sim::fault *f = sim::take_fault("SetCurrentDirectoryA")) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    if (sim::world().device_names.count(path)) {
        sim::world().current_directory = path;
        return TRUE;
    }
    std::string key = sim::key_of(path);
    if (DWORD error = access_error_of(key)) {
        SetLastError(error);
        return FALSE;
    }
    if (!is_directory(key)) {
        SetLastError(sim::world().files.count(key) ? 267 /* not a directory */
                     : is_directory(sim::parent_key(key)) ? ERROR_FILE_NOT_FOUND
                                                    : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    sim::world().current_directory = sim::full_path(path);
    return TRUE;
}

/* Characters no file name can hold; the platform refuses such a name
   before it looks at the disk. */
static bool is_invalid_name(const std::string &path)
{
    return path.find_first_of("\"<>|*?\t") != std::string::npos;
}

extern "C" DWORD GetFileAttributesA(LPCSTR path)
{
    sim::record("GetFileAttributesA", {}, path);
    if (const sim::fault *f = sim::take_fault("GetFileAttributesA")) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    if (is_invalid_name(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string key = sim::key_as_seen(path);
    if (DWORD error = access_error_of(key)) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    auto found = sim::world().files.find(key);
    if (found != sim::world().files.end())
        return found->second;
    SetLastError(is_directory(sim::parent_key(key)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}

/* Opening for reading only: a directory is refused, as without
   FILE_FLAG_BACKUP_SEMANTICS. */
extern "C" HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                              DWORD disposition, DWORD attributes, HANDLE)
{
    sim::record("CreateFileA", {access, share, disposition, attributes}, path);
    if (const sim::fault *f = sim::take_fault("CreateFileA")) {
        SetLastError(f->error);
        return (HANDLE)(uintptr_t)f->result;
    }
    std::string key = sim::key_as_seen(path);
    DWORD error = is_invalid_name(path) ? ERROR_INVALID_NAME : access_error_of(key);
    auto found = sim::world().files.find(key);
    if (!error && found == sim::world().files.end())
        error = is_directory(sim::parent_key(key)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    else if (!error && (found->second & FILE_ATTRIBUTE_DIRECTORY))
        error = ERROR_ACCESS_DENIED;
    if (error) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = sim::add_handle(FILE_TYPE_DISK);
    sim::world().handles[(uintptr_t)file].input = sim::world().file_bytes[key];
    return file;
}
