/*
 * One sequence for every build: PATH as the build's source reads it (each
 * source keeps its own limit), the library directories appended to PATH,
 * the change of directory, the search, the hand-over and how the start
 * ends.  What the start is made of comes from the build's source of
 * requests (its command line, or the file beside a named launcher), and so
 * does a second, elevated start where the first failed for want of
 * elevation.
 */
#include "launcher/launcher.h"
#include "arch/native_view.h"
#include "exec/exec.h"
#include "platform/kernel32.h"
#include "runtime/bytes.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/heap.h"
#include "runtime/start.h"
#include "runtime/trace.h"

static size_t wide_length(const WCHAR *text)
{
    const WCHAR *end = text;
    while (*end)
        end++;
    return (size_t)(end - text);
}

/* The library directories go last, so every existing entry keeps its
   precedence; nothing is removed, normalised or checked.  Whether a ";"
   comes between is the build's say: it is in front of the directories. */
static int extend_path(const WCHAR *path, DWORD path_length, const WCHAR *directories)
{
    WCHAR *value = (WCHAR *)allocate((path_length + wide_length(directories) + 1) * sizeof(WCHAR));
    if (!value)
        return -1;
    copy_wide_text(copy_wide_text(value, path), directories);
    trace_entries("append to PATH ", directories);
    SetEnvironmentVariableW(path_name, value);
    release(value);
    return 0;
}

/* How the change of directory can end the sequence, besides exec's
   outcomes (exec/exec.h). */
enum { DIRECTORY_FAILED = EXEC_REFUSED + 1, NOTHING_TO_START };

/* The trace says why, even where the failure is left quietly. */
static int enter_directory(const char *directory)
{
    int result = change_directory(directory);
    trace_outcome("enter ", directory, result);
    return result;
}

/* A directory given without a place to name it is left quietly, and the
   command starts where the launcher stands; the trace names that place. */
static int enter_and_start(const launch_request *request, command_search *search)
{
    if (request->directory && enter_directory(request->directory) != 0) {
        if (request->about_directory)
            return DIRECTORY_FAILED;
        trace_full_path("stay in ", ".");
    }
    if (!request->command)
        return NOTHING_TO_START;
    return request->path_only ? exec_search_path_only(request->command, search)
                              : exec_search_path(request->command, search);
}

/* The change of directory, the search and the start in the native view of
   the file system: a 32-bit launcher on 64-bit Windows enters the folder a
   64-bit caller would, and the command runs where its directory was
   checked.  The process's own view is back before anything else happens:
   the end, or a message (a message box loads USER32). */
static int enter_and_start_natively(const launch_request *request, command_search *search)
{
    enter_native_view();
    int result = enter_and_start(request, search);
    leave_native_view();
    return result;
}

int run_main(int count, char **arguments, char **snapshot)
{
    (void)snapshot;
    read_trace_level();
    launch_request request = {};
    if (read_request(count, arguments, &request) != 0)
        return -1;
    const WCHAR *path;
    DWORD path_length;
    if (read_path(&path, &path_length) != 0)
        return -1;
    const WCHAR *directories;
    if (read_library_directories(path_length, &directories) != 0)
        return -1;
    if (directories && extend_path(path, path_length, directories) != 0) {
        report_error("Environment allocation failed");
        return -1;
    }

    /* The search as the source describes it, and the build's say on the
       start-up information of each candidate. */
    command_search search = request.search;
    search.prepare_start = prepare_start;
    int result = enter_and_start_natively(&request, &search);
    if (result == NOTHING_TO_START)
        return 0;
    /* A dry run ends where the command would have been started. */
    if (result == EXEC_STARTED && is_dry_run())
        return 0;
    /* A command that asks for elevation, where the source can start it so,
       in the process's own view: the shell is loaded there.  The source
       says itself why that failed, if it did. */
    if (result == EXEC_FAILED && os_error_code == ERROR_ELEVATION_REQUIRED &&
        request.start_elevated) {
        result = request.start_elevated(&search.process);
        if (result == EXEC_REFUSED)
            return -1;
    }
    if (result == EXEC_STARTED)
        finish_start(&search.process, request.lets_console_go_for_gui && search.gui_program);
    if (result == DIRECTORY_FAILED) {
        report_error_about("Directory Failed", request.about_directory);
        return -1;
    }
    if (!request.explain_failure || !request.explain_failure(result, request.about_command))
        report_error_about("Exec Failed", request.about_command);
    return -1;
}
