/*
 * The start as launcher.exe, launcherw.exe and launcher-wait.exe take it:
 * launcher DIRECTORY COMMAND [ARGUMENT ...], where the start directory is
 * the current directory and the library directory START\..\lib, within
 * the limits launcher.exe has always had: 8192 bytes of PATH, 1024 of the
 * start directory.
 */
#include "builds/build.h"
#include "runtime/arguments.h"
#include "runtime/bytes.h"
#include "runtime/environment.h"
#include "runtime/error_reporting.h"
#include "runtime/exit.h"
#include "runtime/heap.h"
#include "runtime/limits.h"

static const char path_too_long[] =
    "Path too long for launcher, maximum size supported is 8192 bytes";
static const char directory_too_long[] =
    "Current directory too long for launcher, maximum size supported is 1024 bytes";
static constexpr auto library_suffix = WIDE("\\..\\lib");

/*
 * PATH as received, and ";", the start directory and the suffix after it.
 * The limit counts bytes of the ANSI code page, as it always has: the ANSI
 * call is asked only for the size the value needs.  The new PATH is
 * composed from the wide forms: the command receives the PATH the launcher
 * received and a library directory that names the true folder, every
 * character exact, even where the ANSI code page lacks one.  A wide form
 * that does not fit its buffer counts as too long as well.
 */
static WCHAR old_path[LAUNCHER_PATH_SIZE];
static WCHAR library_directory[1 + LAUNCHER_DIRECTORY_SIZE + 8];

/* DIRECTORY COMMAND [ARGUMENT ...] come from the argument vector, and
   the search takes PATH from the environment snapshot. */
void take_process_texts(void)
{
    char *command_line = read_command_line();
    char *environment = read_os_environment();
    if (!command_line || !environment) {
        release(command_line);
        release(environment);
        exit_normally(-1);
    }
    build_argument_vector(command_line);
    release(command_line);
    build_environment_snapshot(environment);
}

/* PATH as the launcher was started with it, from the snapshot. */
static const char *get_search_path(void)
{
    return get_snapshot_variable("PATH");
}

int read_request(int count, char **arguments, launch_request *request)
{
    if (count <= 1)
        return -1;
    request->directory = arguments[1];
    request->command = count < 3 ? 0 : arguments[2];
    request->search.words.name = arguments[2];
    request->search.words.arguments = count < 3 ? arguments + 2 : arguments + 3;
    request->search.get_search_path = get_search_path;
    /* The rest stays zero.  No line says where the directory or the
       command was given, and the caller names the command, whatever it is:
       this launcher too, if that is what was asked for, so no candidate is
       refused.  launcher-wait.exe keeps its console whatever it starts,
       and a command that asks for elevation fails as any other. */
    return 0;
}

/* 0 when PATH fits both limits, with old_path holding it (empty when
   unset: the buffer is never read unwritten).  The size asked for counts
   the terminator. */
static int fit_path(DWORD *length)
{
    if (GetEnvironmentVariableA("PATH", 0, 0) > LAUNCHER_PATH_SIZE)
        return -1;
    *length = GetEnvironmentVariableW(path_name, old_path, LAUNCHER_PATH_SIZE);
    if (*length >= LAUNCHER_PATH_SIZE)
        return -1;
    if (*length == 0)
        old_path[0] = 0;
    return 0;
}

int read_path(const WCHAR **value, DWORD *length)
{
    *value = old_path;
    if (fit_path(length) == 0)
        return 0;
    print_error_stream(path_too_long);
    return -1;
}

/* The limit counts bytes of the ANSI code page; the value is read wide, so
   the library directory names the true folder.  It always follows a ";",
   an empty PATH too, as it always has.  Without a start directory
   there is none to name: an entry built from nothing would point at
   "\..\lib" on whatever drive is current, so PATH stays as it is. */
int read_library_directories(DWORD, const WCHAR **directories)
{
    *directories = 0;
    DWORD size = GetCurrentDirectoryA(0, 0);
    if (size > LAUNCHER_DIRECTORY_SIZE - 1) {
        print_error_stream(directory_too_long);
        return -1;
    }
    if (size == 0)
        return 0;
    library_directory[0] = ';';
    WCHAR *start = library_directory + 1;
    DWORD length = GetCurrentDirectoryW(LAUNCHER_DIRECTORY_SIZE - 1, start);
    if (length > LAUNCHER_DIRECTORY_SIZE - 1) {
        print_error_stream(directory_too_long);
        return -1;
    }
    if (length == 0)
        return 0;
    copy_wide_text(start + length, library_suffix);
    *directories = library_directory;
    return 0;
}

/* Nothing is kept between the steps of a start but what each step fills
   anew. */
void reset_request_source(void)
{
}
