/*
 * The start as launcher.exe, launcherw.exe and launcher-wait.exe take it:
 * launcher DIRECTORY COMMAND [ARGUMENT ...], where the start directory is
 * the current directory and the library directory START\..\lib.
 */
#include "builds/build.h"
#include "runtime/arguments.h"
#include "runtime/bytes.h"
#include "runtime/environment.h"
#include "runtime/error_reporting.h"
#include "runtime/exit.h"
#include "runtime/heap.h"
#include "runtime/limits.h"

static const char directory_too_long[] =
    "Current directory too long for launcher, maximum size supported is 1024 bytes";
static constexpr auto library_suffix = WIDE("\\..\\lib");

/* The start directory and room for the suffix after it.  Static rather
   than on the stack: frames stay below a page. */
static WCHAR library_directory[LAUNCHER_DIRECTORY_SIZE + 8];

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
    request->path_only = 0;
    request->words.name = arguments[2];
    request->words.arguments = count < 3 ? arguments + 2 : arguments + 3;
    request->about_directory = 0;
    request->about_command = 0;
    request->get_search_path = get_search_path;
    /* The caller names the command, whatever it is: this launcher too, if
       that is what was asked for.  So no candidate is refused. */
    request->check_candidate = 0;
    request->refusal_message = 0;
    request->refusal_reason = 0;
    return 0;
}

/* The limit counts bytes of the ANSI code page; the value is read wide, so
   the library directory names the true folder.  Without a start directory
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
    DWORD length = GetCurrentDirectoryW(LAUNCHER_DIRECTORY_SIZE - 1, library_directory);
    if (length > LAUNCHER_DIRECTORY_SIZE - 1) {
        print_error_stream(directory_too_long);
        return -1;
    }
    if (length == 0)
        return 0;
    copy_wide_text(library_directory + length, library_suffix);
    *directories = library_directory;
    return 0;
}

/* Nothing is kept between the steps of a start but what each step fills
   anew. */
void reset_request_source(void)
{
}
