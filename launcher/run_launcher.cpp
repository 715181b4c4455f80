#include "launcher/launcher.h"
#include "exec/exec.h"
#include "platform/kernel32.h"
#include "runtime/bytes.h"
#include "runtime/error_reporting.h"
#include "runtime/heap.h"

enum { PATH_BUFFER_SIZE = 8192, START_DIRECTORY_SIZE = 1024 };

static const char path_too_long[] =
    "Path too long for launcher, maximum size supported is 8192 bytes";
static const char directory_too_long[] =
    "Current directory too long for launcher, maximum size supported is 1024 bytes";
static const WCHAR path_name[] = {'P', 'A', 'T', 'H', 0};
static const WCHAR separator[] = {';', 0};
static const WCHAR library_suffix[] = {'\\', '.', '.', '\\', 'l', 'i', 'b', 0};

/*
 * The limits count bytes of the ANSI code page, as they always have: the
 * ANSI calls are asked only for the size their values need.  The new PATH is
 * composed from the wide forms: the command receives the PATH the launcher
 * received and a library directory that names the true folder, every
 * character exact, even where the ANSI code page lacks one.  A wide form
 * that does not fit its buffer counts as too long as well.
 *
 * Static rather than on the stack: frames stay below a page, so the
 * freestanding build needs no stack probes.
 */
static WCHAR old_path[PATH_BUFFER_SIZE];
static WCHAR start_directory[START_DIRECTORY_SIZE];

/* 0 when PATH fits both limits, with old_path holding it (empty when
   unset: the buffer is never read unwritten).  The size asked for counts
   the terminator. */
static int read_path(DWORD *length)
{
    if (GetEnvironmentVariableA("PATH", 0, 0) > PATH_BUFFER_SIZE)
        return -1;
    *length = GetEnvironmentVariableW(path_name, old_path, PATH_BUFFER_SIZE);
    if (*length >= PATH_BUFFER_SIZE)
        return -1;
    if (*length == 0)
        old_path[0] = 0;
    return 0;
}

/* 0 when the start directory fits both limits; its length is 0 when it
   cannot be read at all. */
static int read_start_directory(DWORD *length)
{
    DWORD size = GetCurrentDirectoryA(0, 0);
    if (size > START_DIRECTORY_SIZE - 1)
        return -1;
    *length = size == 0 ? 0 : GetCurrentDirectoryW(START_DIRECTORY_SIZE - 1, start_directory);
    return *length > START_DIRECTORY_SIZE - 1 ? -1 : 0;
}

/* The library directory goes last, so every existing entry keeps its
   precedence; nothing is removed, normalised or checked. */
static int extend_path(DWORD path_length, DWORD directory_length)
{
    WCHAR *value = (WCHAR *)allocate((path_length + directory_length + 9) * sizeof(WCHAR));
    if (!value)
        return -1;
    WCHAR *end = copy_wide_text(value, old_path);
    end = copy_wide_text(end, separator);
    end = copy_wide_text(end, start_directory);
    copy_wide_text(end, library_suffix);
    SetEnvironmentVariableW(path_name, value);
    release(value);
    return 0;
}

int run_launcher(int count, char **arguments, char **snapshot)
{
    (void)snapshot;
    if (count <= 1)
        return -1;

    DWORD path_length, directory_length;
    if (read_path(&path_length) != 0) {
        print_error_stream(path_too_long);
        return -1;
    }
    if (read_start_directory(&directory_length) != 0) {
        print_error_stream(directory_too_long);
        return -1;
    }
    /* Without a start directory there is no library directory to name: an
       entry built from nothing would point at "\..\lib" on whatever drive is
       current.  PATH then stays as it is, as when setting it fails. */
    if (directory_length != 0 && extend_path(path_length, directory_length) != 0) {
        report_error("Environment allocation failed");
        return -1;
    }

    change_directory(arguments[1]);
    if (count < 3)
        return 0;
    exec_search_path(arguments[2], arguments + 2);
    report_error("Exec Failed");
    return -1;
}
