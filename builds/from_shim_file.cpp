/*
 * The start as shim.exe and shimw.exe take it: NAME.exe reads NAME.shim
 * beside it.  The exe's folder is the start directory, and every relative
 * path of the file is taken from it, never from the current directory: a
 * copy starts alike from a shortcut, a file association, a scheduled task
 * or a terminal anywhere.  The command line is the file found, in quotes,
 * the file's args, and the caller's arguments exactly as they stand in the
 * exe's own command line: nothing is split, requoted or joined again.
 *
 * The adapter between the file's reader (shim/) and the launcher's
 * request: it has the file named (shim/shim_file_name.cpp), reads and
 * resolves it, and turns its settings into the request, the library
 * directories and the search's say on each candidate.  A named launcher never starts itself (shim/own_file.cpp), and
 * a chain of copies that leads back into itself ends (shim/chain.cpp).  A
 * command that asks for elevation is started by an elevated copy of the
 * launcher (shim/elevate.cpp), which applies the file itself.  The line of
 * a message that names the setting and the file ends with the Windows
 * error behind its reason, where one is.
 *
 * The file and the exe's path are converted to the ANSI code page (UTF-8
 * itself where the embedded manifest takes effect) without best fit, so no
 * character becomes a look-alike.  What is built here lives until the
 * process ends.
 */
#include "builds/build.h"
#include "runtime/arguments.h"
#include "runtime/bytes.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/exit.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/limits.h"
#include "runtime/trace.h"
#include "shim/elevate.h"
#include "shim/shim.h"

/* Static rather than on the stack, here and in the functions below: frames
   stay below a page.  ";" and the lib directories, joined by ";": the
   directories never more than a variable holds. */
static WCHAR libraries[1 + VARIABLE_LIMIT];
static unsigned library_length;
/* PATH, as received and again once the env lines have had their say, and
   the length it was received with. */
static WCHAR path[VARIABLE_LIMIT];
static DWORD received_length;
static shim_settings settings;
/* The exe's folder with its "\", and the file's name, in ANSI. */
static char *start_directory, *file_name;
static char *command_line, *later[2];
/* PATH as the launcher was started with it, for a bare path: env lines may
   change the PATH the command gets, never where it is looked for. */
static char *search_path;
/* The UTF-16 units the file's args and the caller's arguments add to the
   command line, with the blank before them. */
static unsigned later_units;
/* The command is a bare name, looked for through PATH. */
static int bare;

/* A new text of the pieces; null without memory, or when one is missing. */
static char *join(const char *before, const shim_text &span, const char *between,
                  const char *after)
{
    if (!before || !between || !after)
        return 0;
    char *text = (char *)allocate(text_length(before) + span.length + text_length(between) +
                                  text_length(after) + 1);
    if (text) {
        char *end = copy_text(text, before);
        copy_bytes(end, span.text, span.length);
        copy_text(copy_text(end + span.length, between), after);
    }
    return text;
}

/* A relative value is taken from the start directory; the file's values
   are terminated once resolved. */
static char *from_start(const shim_text &value)
{
    return join(is_relative_path(value.text) ? start_directory : "", value, "", "");
}

/* Where what failed was given: "KEY = VALUE in FILE", a wrong line as it
   stands and the file, or the file alone. */
static char *locate(const char *key, const shim_text &what)
{
    return what.line ? join(key, what, " in ", file_name) : file_name;
}

static int report_mistake(int mistake)
{
    report_failure("Shim Failed", get_shim_mistake_text(mistake), locate("", settings.mistake));
    return -1;
}

/* One library directory, made absolute from the start directory and
   normalised, after those before it.  A list that outgrows a variable
   names the limit: no single value is at fault. */
static int add_library(const shim_text &value)
{
    static WCHAR wide[SHIM_FILE_LIMIT + 1];
    char *path = from_start(value);
    if (!path || !MultiByteToWideChar(CP_ACP, 0, path, -1, wide, SHIM_FILE_LIMIT + 1))
        return report_mistake(SHIM_NO_MEMORY);
    WCHAR *directories = libraries + 1;
    if (library_length)
        directories[library_length++] = ';';
    DWORD room = VARIABLE_LIMIT - library_length;
    DWORD written = GetFullPathNameW(wide, room, directories + library_length, 0);
    if (written >= room) {
        settings.mistake.line = 0;
        return report_mistake(SHIM_TOO_LONG);
    }
    if (written == 0) {
        map_os_error(GetLastError());
        report_error_about("Shim Failed", locate("lib = ", value));
        return -1;
    }
    library_length += written;
    return 0;
}

/* A named launcher never splits its command line, and passes what follows
   its program name on as it stands; of the environment it needs PATH
   alone, read before any env line changes it.  One that does not fit is
   reported once the file is named. */
void take_process_texts(void)
{
    command_line = read_command_line();
    if (!command_line)
        exit_normally(-1);
    received_length = GetEnvironmentVariableW(path_name, path, VARIABLE_LIMIT);
    int no_memory = 0;
    if (received_length && received_length < VARIABLE_LIMIT)
        search_path = convert_to_ansi(path, (int)received_length + 1, &no_memory);
    if (no_memory)
        fail_with_runtime_error(RUNTIME_ERROR_ENVIRONMENT);
}

static const char *get_search_path(void)
{
    return search_path;
}

/* The file's args, then the caller's arguments as they stand. */
static char **list_later_arguments(const shim_text &args)
{
    const char *tail = find_argument_tail(command_line);
    later[0] = join("", args, args.length && *tail ? " " : "", tail);
    if (!later[0])
        return 0;
    if (*later[0])
        later_units = (unsigned)MultiByteToWideChar(CP_ACP, 0, later[0], -1, 0, 0);
    return later;
}

/* The value of a key given once; line 0 when it is not given. */
static shim_text find_value(int key)
{
    const shim_setting *setting = settings.once[key];
    return setting ? setting->value : shim_text{"", 0, 0};
}

/* The own file is passed over where PATH is searched, as if missing, and
   refused where the file's path leads to it; so is, on PATH, a launcher
   already in the chain, which would lead back here.  A command line the
   platform cannot take is passed over with its own reason.  The candidate
   is known through the handle that reads its header: no second open. */
static int check_candidate(const char *file, HANDLE opened)
{
    unsigned units = (unsigned)MultiByteToWideChar(CP_ACP, 0, file, -1, 0, 0);
    file_identity found;
    int known = identify_opened_file(opened, &found);
    int own = known && is_own_file(&found);
    if (own || (known && bare && is_in_chain(&found))) {
        trace_line("candidate ", file, own ? ": the launcher itself" : ": already in the chain");
        if (!bare)
            return CANDIDATE_REFUSED;
        set_error(NO_SUCH_FILE, ERROR_FILE_NOT_FOUND);
        return CANDIDATE_PASSED_OVER;
    }
    /* The two quotes come on top; each count holds a terminator, which
       stands for the blank between the two and for the line's own.  The
       limit is the launcher's own finding: no Windows error goes with it. */
    if (2 + units + later_units > COMMAND_LINE_SIZE) {
        set_error(ARG_LIST_TOO_LONG, ERROR_SUCCESS);
        trace_outcome("candidate ", file, -1);
        return CANDIDATE_PASSED_OVER;
    }
    return CANDIDATE_TAKEN;
}

/* A command whose manifest asks for administrator rights cannot be created
   by a launcher that runs as the user.  This one starts itself again,
   elevated, with the caller's arguments as they stand; the elevated copy
   reads the file and applies it where the command runs.  One prompt at
   most: an elevated launcher never asks, it reports the failure. */
static int start_elevated(PROCESS_INFORMATION *process)
{
    if (runs_elevated())
        return EXEC_FAILED;
    if (start_self_elevated(find_argument_tail(command_line), process) == 0)
        return EXEC_STARTED;
    if (os_error_code != ERROR_CANCELLED)
        return EXEC_FAILED;
    report_failure_with_code("Shim Failed", "elevation was declined", ERROR_CANCELLED,
                             locate("path = ", find_value(SHIM_PATH)));
    return EXEC_REFUSED;
}

static int fill_request(launch_request *request)
{
    /* A bare name stands on its own, for the search through PATH. */
    shim_text path = find_value(SHIM_PATH);
    request->command = from_start(path);
    bare = request->command && is_relative_path(path.text) &&
           is_bare_name(request->command + text_length(start_directory));
    if (bare)
        request->command += text_length(start_directory);
    request->path_only = 1;
    request->get_search_path = get_search_path;
    request->check_candidate = check_candidate;
    request->pass_on = pass_chain_on;
    request->refusal_message = "Shim Failed";
    request->refusal_reason = get_shim_mistake_text(SHIM_ITSELF);
    request->start_elevated = start_elevated;
    request->lets_console_go_for_gui = 1;
    /* No name: the file found, in quotes, is the command line's first. */
    request->words.arguments = list_later_arguments(find_value(SHIM_ARGS));
    request->about_command = locate("path = ", path);
    shim_text directory = find_value(SHIM_DIRECTORY);
    if (directory.line) {
        request->directory = from_start(directory);
        request->about_directory = locate("directory = ", directory);
    }
    if (!request->command || !request->words.arguments || !request->about_command ||
        (directory.line && !(request->directory && request->about_directory)))
        return report_mistake(SHIM_NO_MEMORY);
    for (unsigned i = 0; i < settings.count; i++)
        if (settings.settings[i].key == SHIM_LIB && add_library(settings.settings[i].value) != 0)
            return -1;
    return 0;
}

/* Read whole, proved UTF-8, its byte-order mark dropped, converted, taken
   apart and resolved. */
int read_request(int, char **, launch_request *request)
{
    static char bytes[SHIM_FILE_LIMIT + 1];
    static WCHAR wide[SHIM_FILE_LIMIT + 1];
    unsigned size;
    const WCHAR *name = name_shim_file(&start_directory, &file_name);
    if (name)
        trace_line("file ", file_name, 0);
    if (!name || read_shim_file(name, bytes, &size) != 0) {
        report_error_about("Shim Failed", file_name);
        return -1;
    }
    /* An empty file converts to nothing, and has no path. */
    settings.mistake.line = 0;
    if (join_chain() != SHIM_FINE)
        return report_mistake(SHIM_CHAIN);
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, (int)size, wide,
                                     SHIM_FILE_LIMIT + 1);
    if (size && !length)
        return report_mistake(SHIM_NOT_TEXT);
    int mark = length && wide[0] == 0xFEFF;
    int text_size;
    char *text = narrow_text(wide + mark, length - mark, &text_size);
    if (!text)
        return report_mistake(SHIM_NO_MEMORY);
    int mistake = parse_shim(text, (unsigned)text_size, &settings);
    if (!mistake)
        mistake = resolve_shim(&settings, start_directory);
    if (mistake)
        return report_mistake(mistake);
    return fill_request(request);
}

void reset_request_source(void)
{
    library_length = 0;
    search_path = 0;
    received_length = 0;
    later_units = 0;
    /* A start whose own path cannot be had names no file. */
    start_directory = 0;
    file_name = 0;
}

/* PATH as the env lines left it: whatever a variable holds, the 32767
   characters of the platform, as received too, since a bare path is looked
   for through that one. */
int read_path(const WCHAR **value, DWORD *length)
{
    *value = path;
    *length = GetEnvironmentVariableW(path_name, path, VARIABLE_LIMIT);
    if (*length >= VARIABLE_LIMIT || received_length >= VARIABLE_LIMIT)
        return report_mistake(SHIM_TOO_LONG);
    if (*length == 0)
        path[0] = 0;
    return 0;
}

/* PATH, then the lib directories: never longer than a variable may be, or
   the platform would cut it.  A removed or empty PATH gets the directories
   alone: an empty entry would stand for a folder of the current drive. */
int read_library_directories(DWORD path_length, const WCHAR **directories)
{
    *directories = 0;
    if (!library_length)
        return 0;
    /* PATH and its ";" where there is one, the directories and the
       terminator. */
    if (path_length + (path_length ? 1 : 0) + library_length + 1 > VARIABLE_LIMIT)
        return report_mistake(SHIM_TOO_LONG);
    libraries[0] = ';';
    *directories = path_length ? libraries : libraries + 1;
    return 0;
}
