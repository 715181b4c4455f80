/* Current directory and file attributes. */
#include "platform/sim/sim.h"

#include <cstring>
#include <functional>

static bool is_directory(const std::string &key)
{
    auto found = sim::world().files.find(key);
    return found != sim::world().files.end() && (found->second & FILE_ATTRIBUTE_DIRECTORY);
}

/* An access error set for a path covers everything below it too; a
   share's root ends in its separator already. */
static DWORD access_error_of(const std::string &key)
{
    for (const auto &entry : sim::world().access_errors) {
        const std::string &prefix = entry.first;
        if (key.compare(0, prefix.size(), prefix) == 0 &&
            (key.size() == prefix.size() || key[prefix.size()] == '\\' ||
             prefix.back() == '\\'))
            return entry.second;
    }
    return 0;
}

static const sim::service get_current_directory_a("GetCurrentDirectoryA");
extern "C" DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    sim::record(get_current_directory_a.name, {size});
    if (const sim::fault *f = sim::take_fault(get_current_directory_a)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    const std::string &cwd = sim::world().current_directory;
    if (cwd.size() + 1 > size)
        return (DWORD)cwd.size() + 1;
    std::memcpy(buffer, cwd.c_str(), cwd.size() + 1);
    return (DWORD)cwd.size();
}

static const sim::service get_current_directory_w("GetCurrentDirectoryW");
extern "C" DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    sim::record(get_current_directory_w.name, {size});
    if (const sim::fault *f = sim::take_fault(get_current_directory_w)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    std::u16string cwd = sim::from_ansi(sim::world().current_directory);
    if (cwd.size() + 1 > size)
        return (DWORD)cwd.size() + 1;
    std::memcpy(buffer, cwd.c_str(), (cwd.size() + 1) * sizeof(WCHAR));
    return (DWORD)cwd.size();
}

static const sim::service set_current_directory_a("SetCurrentDirectoryA");
extern "C" BOOL SetCurrentDirectoryA(LPCSTR path)
{
    sim::record(set_current_directory_a.name, {}, path);
    if (const sim::fault *f = sim::take_fault(set_current_directory_a)) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    if (sim::world().device_names.count(path)) {
        sim::world().current_directory = path;
        return TRUE;
    }
    std::string key = sim::key_as_seen(path);
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

/* Characters no file name can hold, the control characters among them;
   the platform refuses such a name before it looks at the disk. */
static bool is_invalid_name(const std::string &path)
{
    for (unsigned char c : path)
        if (c < 0x20 || std::strchr("\"<>|*?", c))
            return true;
    return false;
}

static const sim::service get_file_attributes_a("GetFileAttributesA");
extern "C" DWORD GetFileAttributesA(LPCSTR path)
{
    sim::record(get_file_attributes_a.name, {}, path);
    if (const sim::fault *f = sim::take_fault(get_file_attributes_a)) {
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

/* The size, as a named launcher compares it with a candidate's. */
static const sim::service get_file_attributes_ex_w("GetFileAttributesExW");
extern "C" BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS, void *information)
{
    std::string ansi = sim::to_ansi(path, false);
    sim::record(get_file_attributes_ex_w.name, {}, ansi);
    if (const sim::fault *f = sim::take_fault(get_file_attributes_ex_w)) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    auto found = sim::world().files.find(sim::key_as_seen(ansi));
    if (found == sim::world().files.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    auto *data = (WIN32_FILE_ATTRIBUTE_DATA *)information;
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = found->second;
    data->nFileSizeLow = (DWORD)sim::world().file_bytes[found->first].size();
    return TRUE;
}

static const sim::service create_file_a("CreateFileA"), create_file_w("CreateFileW");
/* Opening for reading only: a directory is refused, as without
   FILE_FLAG_BACKUP_SEMANTICS.  Both forms open the file's ANSI name. */
static HANDLE open_file(const sim::service &which, const std::string &path,
                        std::vector<uint64_t> args)
{
    sim::record(which.name, std::move(args), path);
    if (const sim::fault *f = sim::take_fault(which)) {
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
    HANDLE file = sim::open_handle(FILE_TYPE_DISK, "file " + path);
    sim::world().handles[(uintptr_t)file].input = sim::world().file_bytes[key];
    sim::world().handles[(uintptr_t)file].file = key;
    return file;
}

extern "C" HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                              DWORD disposition, DWORD attributes, HANDLE)
{
    return open_file(create_file_a, path, {access, share, disposition, attributes});
}

extern "C" HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                              DWORD disposition, DWORD attributes, HANDLE)
{
    return open_file(create_file_w, sim::to_ansi(path, false),
                     {access, share, disposition, attributes});
}

/* The identity the platform gives: the volume (the drive, or the server)
   and the index, the same for every name a hard link gives the file. */
static const sim::service get_file_information_by_handle("GetFileInformationByHandle");
extern "C" BOOL GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information)
{
    sim::record(get_file_information_by_handle.name, {(uint64_t)(uintptr_t)handle});
    if (const sim::fault *f = sim::take_fault(get_file_information_by_handle)) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    auto opened = sim::world().handles.find((uintptr_t)handle);
    if (opened == sim::world().handles.end() || opened->second.file.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::string key = opened->second.file;
    auto link = sim::world().links.find(key);
    std::memset(information, 0, sizeof *information);
    information->dwFileAttributes = sim::world().files[key];
    if (link != sim::world().links.end())
        key = link->second;
    std::hash<std::string> hash;
    size_t index = hash(key);
    information->dwVolumeSerialNumber = (DWORD)hash(key.substr(0, key.find('\\', 2)));
    information->nFileIndexHigh = (DWORD)((uint64_t)index >> 32);
    information->nFileIndexLow = (DWORD)index;
    information->nFileSizeLow = (DWORD)sim::world().file_bytes[key].size();
    return TRUE;
}

/* As the platform makes a name absolute: from the current directory (a
   drive's root for "D:x" on another drive), "." and ".." taken away, "/"
   made "\"; a trailing separator stays.  A buffer too small gets the size
   it needs, with the terminator. */
static const sim::service get_full_path_name_w("GetFullPathNameW");
extern "C" DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR *file_part)
{
    std::u16string given(name);
    sim::record(get_full_path_name_w.name, {size}, sim::to_ansi(given, false));
    if (const sim::fault *f = sim::take_fault(get_full_path_name_w)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    if (given.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::u16string full = sim::from_ansi(sim::full_path(sim::to_ansi(given, false)));
    if ((given.back() == u'\\' || given.back() == u'/') && full.back() != u'\\')
        full += u'\\';
    if (full.size() + 1 > size)
        return (DWORD)full.size() + 1;
    std::memcpy(buffer, full.c_str(), (full.size() + 1) * sizeof(WCHAR));
    if (file_part)
        *file_part = full.back() == u'\\' ? nullptr : buffer + full.find_last_of(u'\\') + 1;
    return (DWORD)full.size();
}

static const sim::service get_full_path_name_a("GetFullPathNameA");
extern "C" DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR *)
{
    sim::record(get_full_path_name_a.name, {size}, name);
    if (const sim::fault *f = sim::take_fault(get_full_path_name_a)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    std::string full = sim::full_path(name);
    if (full.size() < size)
        std::memcpy(buffer, full.c_str(), full.size() + 1);
    return (DWORD)full.size() + (full.size() < size ? 0 : 1);
}
