/*
 * The start as shim.exe and shimw.exe take it: NAME.exe reads NAME.shim
 * beside it.  The exe's folder is the start directory, and every relative
 * path of the file is taken from it, never from the current directory: a
 * copy starts alike from a shortcut, a file association, a scheduled task
 * or a terminal anywhere.  The command line is the file found, in quotes,
 * the file's args, and the caller's arguments exactly as they stand in the
 * exe's own command line: nothing is split, requoted or joined again.
 *
 * The file and the exe's path are converted to the ANSI code page (UTF-8
 * itself where the embedded manifest takes effect) without best fit, so no
 * character becomes a look-alike.  What is built here lives until the
 * process ends.
 */
#include "builds/build.h"
#include "runtime/arguments.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "shim/shim.h"

enum { MODULE_SIZE = 32768, LIBRARIES_SIZE = 32768, NAME_TOO_LONG = 38 };

/* Static rather than on the stack: frames stay below a page.  The module
   path turns into the file's name; the exe's folder stays in front. */
static WCHAR module[MODULE_SIZE + 5];
static char bytes[SHIM_FILE_LIMIT + 1];
static WCHAR wide[SHIM_FILE_LIMIT + 1];
static WCHAR libraries[LIBRARIES_SIZE];
static shim_settings settings;
/* The exe's folder with its "\", and the file's name, in ANSI. */
static char *start_directory, *file_name;
static char *later[2];

/* A new ANSI copy and its length; null without memory. */
static char *narrow(const WCHAR *text, int length, int *size)
{
    *size = WideCharToMultiByte(CP_ACP, conversion_flags, text, length, 0, 0, 0, 0);
    char *ansi = (char *)allocate((size_t)*size + 1);
    if (ansi) {
        WideCharToMultiByte(CP_ACP, conversion_flags, text, length, ansi, *size, 0, 0);
        ansi[*size] = 0;
    }
    return ansi;
}

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

/* A value that names no drive and begins at no root is taken from the
   start directory. */
static int is_relative(const shim_text &value)
{
    const char *t = value.text;
    return t[0] != '\\' && t[0] != '/' && (value.length < 2 || t[1] != ':');
}

static char *from_start(const shim_text &value)
{
    return join(is_relative(value) ? start_directory : "", value, "", "");
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

/* The exe's path with its last extension replaced by ".shim", and the
   exe's folder; -1 when the platform gives no path that fits. */
static int name_file(void)
{
    DWORD length = GetModuleFileNameW(0, module, MODULE_SIZE);
    if (length == 0 || length >= MODULE_SIZE) {
        map_os_error(GetLastError());
        return -1;
    }
    unsigned start = 0, dot = length;
    for (unsigned i = 0; i < length; i++) {
        if (module[i] == '\\' || module[i] == '/') {
            start = i + 1;
            dot = length;
        } else if (module[i] == '.') {
            dot = i;
        }
    }
    static const WCHAR extension[] = {'.', 's', 'h', 'i', 'm', 0};
    copy_wide_text(module + dot, extension);
    int size;
    start_directory = narrow(module, (int)start, &size);
    file_name = narrow(module, -1, &size);
    return 0;
}

/* One library directory, made absolute from the start directory and
   normalised, after those before it. */
static int add_library(const shim_text &value, unsigned *used)
{
    char *path = from_start(value);
    if (!path || !MultiByteToWideChar(CP_ACP, 0, path, -1, wide, SHIM_FILE_LIMIT + 1))
        return report_mistake(SHIM_NO_MEMORY);
    if (*used)
        libraries[(*used)++] = ';';
    DWORD room = LIBRARIES_SIZE - *used;
    DWORD written = GetFullPathNameW(wide, room, libraries + *used, 0);
    if (written == 0 || written >= room) {
        if (written)
            set_error(NAME_TOO_LONG, ERROR_FILENAME_EXCED_RANGE);
        else
            map_os_error(GetLastError());
        report_error_about("Shim Failed", locate("lib = ", value));
        return -1;
    }
    *used += written;
    return 0;
}

/* The file's args, then the caller's arguments as they stand. */
static char **list_later_arguments(void)
{
    const shim_text &args = settings.values[SHIM_ARGS];
    char *line = read_command_line();
    const char *tail = line ? find_argument_tail(line) : "";
    later[0] = join("", args, args.length && *tail ? " " : "", tail);
    return later[0] ? later : 0;
}

static int fill_request(launch_request *request)
{
    /* A bare name stands on its own, for the search through PATH. */
    const shim_text &path = settings.values[SHIM_PATH];
    request->command = from_start(path);
    if (request->command && is_relative(path) &&
        is_bare_name(request->command + text_length(start_directory)))
        request->command += text_length(start_directory);
    request->path_only = 1;
    request->words.name = 0;
    request->words.arguments = list_later_arguments();
    request->about_command = locate("path = ", path);
    const shim_text &directory = settings.values[SHIM_DIRECTORY];
    request->directory = 0;
    request->about_directory = 0;
    if (directory.line) {
        request->directory = from_start(directory);
        request->about_directory = locate("directory = ", directory);
    }
    if (!request->command || !request->words.arguments || !request->about_command ||
        (directory.line && !(request->directory && request->about_directory)))
        return report_mistake(SHIM_NO_MEMORY);
    unsigned used = 0;
    for (unsigned i = 0; i < settings.library_count; i++)
        if (add_library(settings.libraries[i], &used) != 0)
            return -1;
    return 0;
}

/* Read whole, proved UTF-8, its byte-order mark dropped, and converted. */
int read_request(int, char **, launch_request *request)
{
    unsigned size;
    if (name_file() != 0 || read_shim_file(module, bytes, &size) != 0) {
        report_error_about("Shim Failed", file_name);
        return -1;
    }
    /* An empty file converts to nothing, and has no path. */
    settings.mistake.line = 0;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, (int)size, wide,
                                     SHIM_FILE_LIMIT + 1);
    if (size && !length)
        return report_mistake(SHIM_NOT_TEXT);
    int mark = length && wide[0] == 0xFEFF;
    int text_size;
    char *text = narrow(wide + mark, length - mark, &text_size);
    if (!text)
        return report_mistake(SHIM_NO_MEMORY);
    int mistake = parse_shim(text, (unsigned)text_size, &settings);
    if (mistake)
        return report_mistake(mistake);
    return fill_request(request);
}

int read_library_directories(const WCHAR **directories)
{
    *directories = libraries[0] ? libraries : 0;
    return 0;
}
