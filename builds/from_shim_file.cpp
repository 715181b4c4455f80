/*
 * The start as shim.exe and shimw.exe take it: NAME.exe reads NAME.shim
 * beside it.  The command line is the file found, in quotes, the file's
 * args, and the caller's arguments exactly as they stand in the exe's own
 * command line: nothing is split, requoted or joined again.
 *
 * The adapter between the named launchers' file (shim/) and the
 * launcher's request: the file's settings mapped onto the request.  What
 * they mean is decided in shim/: the file itself (named_file.cpp), the
 * command and its candidates (command.cpp), the lib directories
 * (libraries.cpp), the chain (chain.cpp) and the elevated start
 * (elevate.cpp).
 */
#include "builds/build.h"
#include "shim/named_start.h"

void take_process_texts(void)
{
    take_received_texts();
}

/* path, args and directory become the command, its line and where it
   starts, each with the line that names it in a message; the search is
   through PATH alone, with the named launcher's say on each candidate and
   the chain passed on.  The lib lines come last, as they always have. */
static int fill_request(launch_request *request)
{
    shim_text path = find_shim_value(SHIM_PATH);
    request->command = find_shim_command(path);
    request->path_only = 1;
    request->search.get_search_path = get_received_path;
    request->search.check_candidate = check_shim_candidate;
    request->search.pass_on = pass_chain_on;
    request->explain_failure = explain_shim_failure;
    request->start_elevated = start_shim_elevated;
    request->lets_console_go_for_gui = 1;
    /* No name: the file found, in quotes, is the command line's first. */
    request->search.words.arguments = list_shim_arguments(find_shim_value(SHIM_ARGS));
    request->about_command = locate_shim_setting("path = ", path);
    shim_text directory = find_shim_value(SHIM_DIRECTORY);
    if (directory.line) {
        request->directory = make_shim_path(directory);
        request->about_directory = locate_shim_setting("directory = ", directory);
    }
    if (!request->command || !request->search.words.arguments || !request->about_command ||
        (directory.line && !(request->directory && request->about_directory)))
        return report_shim_mistake(SHIM_NO_MEMORY);
    return add_shim_libraries(find_shim_settings());
}

int read_request(int, char **, launch_request *request)
{
    if (read_named_file() != 0)
        return -1;
    return fill_request(request);
}

void reset_request_source(void)
{
    reset_shim_libraries();
    reset_received_texts();
    reset_shim_command();
    reset_named_file();
}

int read_path(const WCHAR **value, DWORD *length)
{
    return read_named_path(value, length);
}

int read_library_directories(DWORD path_length, const WCHAR **directories)
{
    return find_shim_libraries(path_length, directories);
}
