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
static const char library_suffix[] = "\\..\\lib";

/* Static rather than on the stack: frames stay below a page, so the
   freestanding build needs no stack probes. */
static char old_path[PATH_BUFFER_SIZE];
static char start_directory[START_DIRECTORY_SIZE];

/* The library directory goes last, so every existing entry keeps its
   precedence; nothing is removed, normalised or checked. */
static int extend_path(DWORD path_length, DWORD directory_length)
{
    char *value = (char *)allocate(path_length + directory_length + 9);
    if (!value)
        return -1;
    char *end = copy_text(value, old_path);
    end = copy_text(end, ";");
    end = copy_text(end, start_directory);
    copy_text(end, library_suffix);
    SetEnvironmentVariableA("PATH", value);
    release(value);
    return 0;
}

int run_launcher(int count, char **arguments, char **snapshot)
{
    (void)snapshot;
    if (count <= 1)
        return -1;

    DWORD path_length = GetEnvironmentVariableA("PATH", old_path, PATH_BUFFER_SIZE);
    if (path_length > PATH_BUFFER_SIZE) {
        print_error_stream(path_too_long);
        return -1;
    }
    /* An unset PATH leaves the buffer unwritten; it counts as empty. */
    if (path_length == 0)
        old_path[0] = 0;

    DWORD directory_length = GetCurrentDirectoryA(START_DIRECTORY_SIZE - 1, start_directory);
    if (directory_length > START_DIRECTORY_SIZE - 1) {
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
