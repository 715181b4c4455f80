/*
 * The start as shim.exe and shimw.exe take it: NAME.exe reads NAME.shim
 * beside it.  The exe's folder is the start directory, and every relative
 * path of the file is taken from it, never from the current directory: a
 * copy starts alike from a shortcut, a file association, a scheduled task
 * or a terminal anywhere.  The command line is the file found, in quotes,
 * the file's args, and the caller's arguments exactly as they stand in the
 * exe's own command line: nothing is split, requoted or joined again.
 *
 * Every text is composed in UTF-16 and converted to the ANSI code page
 * (UTF-8 itself where the embedded manifest takes effect) without best
 * fit, so no character becomes a look-alike; the library directories stay
 * UTF-16 for PATH.  What is built here lives until the process ends.
 */
#include "builds/build.h"
#include "runtime/arguments.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "shim/shim.h"

enum {
    MODULE_SIZE = 32768,
    LIBRARIES_SIZE = 32768,
    /* room for the longest text composed: a message naming a value of the
       whole file and the file's own name */
    SCRATCH_SIZE = SHIM_FILE_LIMIT + 2 * MODULE_SIZE,
    NAME_TOO_LONG = 38
};

/* Static rather than on the stack: frames stay below a page.  The module
   path turns into the file's name; the exe's folder stays in front. */
static WCHAR module[MODULE_SIZE + 5];
static unsigned start_length, file_length;
static char bytes[SHIM_FILE_LIMIT + 1];
static WCHAR text[SHIM_FILE_LIMIT + 1];
static WCHAR libraries[LIBRARIES_SIZE];
static WCHAR scratch[SCRATCH_SIZE];
static unsigned scratch_length;
static char *later[2];

static void put(const WCHAR *piece, unsigned length)
{
    while (length-- && scratch_length < SCRATCH_SIZE - 1)
        scratch[scratch_length++] = *piece++;
    scratch[scratch_length] = 0;
}

static void put_ascii(const char *piece)
{
    while (*piece) {
        WCHAR c = (WCHAR)*piece++;
        put(&c, 1);
    }
}

/* A value that names no drive and begins at no root is taken from the
   start directory. */
static void put_path(const shim_text &value)
{
    const WCHAR *t = value.text;
    if (t[0] != '\\' && t[0] != '/' && (value.length < 2 || t[1] != ':')) {
        put(module, start_length);
        put_ascii("\\");
    }
    put(t, value.length);
}

/* What has been put, in the ANSI code page; null without memory. */
static char *take(void)
{
    int size = WideCharToMultiByte(CP_ACP, conversion_flags, scratch, (int)scratch_length, 0, 0, 0, 0);
    char *ansi = (char *)allocate((size_t)size + 1);
    if (ansi) {
        WideCharToMultiByte(CP_ACP, conversion_flags, scratch, (int)scratch_length, ansi, size, 0, 0);
        ansi[size] = 0;
    }
    scratch_length = 0;
    return ansi;
}

/* "line N of FILE", or the file alone for the file as a whole. */
static char *locate(unsigned line)
{
    if (line) {
        WCHAR digits[12];
        unsigned at = 12;
        do
            digits[--at] = (WCHAR)('0' + line % 10);
        while (line /= 10);
        put_ascii("line ");
        put(digits + at, 12 - at);
        put_ascii(" of ");
    }
    put(module, file_length);
    return take();
}

/* "KEY = VALUE in FILE": where a value that failed was given. */
static char *name_value(const char *key, const shim_text &value)
{
    put_ascii(key);
    put_ascii(" = ");
    put(value.text, value.length);
    put_ascii(" in ");
    put(module, file_length);
    return take();
}

static int report_mistake(int mistake, unsigned line)
{
    report_failure("Shim Failed", get_shim_mistake_text(mistake), locate(line));
    return -1;
}

/* The exe's path with its last extension replaced by ".shim"; 0 when the
   platform gives none that fits. */
static unsigned name_file(void)
{
    DWORD length = GetModuleFileNameW(0, module, MODULE_SIZE);
    if (length == 0 || length >= MODULE_SIZE) {
        map_os_error(GetLastError());
        return 0;
    }
    unsigned dot = length;
    for (unsigned i = 0; i < length; i++) {
        if (module[i] == '\\' || module[i] == '/') {
            start_length = i;
            dot = length;
        } else if (module[i] == '.') {
            dot = i;
        }
    }
    static const WCHAR extension[] = {'.', 's', 'h', 'i', 'm', 0};
    copy_wide_text(module + dot, extension);
    return dot + 5;
}

/* One library directory, made absolute from the start directory and
   normalised, after those before it. */
static int add_library(const shim_text &value, unsigned *used)
{
    put_path(value);
    scratch_length = 0;
    if (*used)
        libraries[(*used)++] = ';';
    DWORD room = LIBRARIES_SIZE - *used;
    DWORD written = GetFullPathNameW(scratch, room, libraries + *used, 0);
    if (written == 0 || written >= room) {
        if (written)
            set_error(NAME_TOO_LONG, ERROR_FILENAME_EXCED_RANGE);
        else
            map_os_error(GetLastError());
        report_error_about("Shim Failed", locate(value.line));
        return -1;
    }
    *used += written;
    return 0;
}

/* The file's args, then the caller's arguments as they stand. */
static char **list_later_arguments(const shim_settings &settings)
{
    put(settings.args.text, settings.args.length);
    char *line = read_command_line();
    const char *tail = line ? find_argument_tail(line) : "";
    if (settings.args.length && *tail)
        put_ascii(" ");
    later[0] = take();
    char *joined = later[0] ? (char *)allocate(text_length(later[0]) + text_length(tail) + 1) : 0;
    if (!joined)
        return 0;
    copy_text(copy_text(joined, later[0]), tail);
    later[0] = joined;
    return later;
}

static int fill_request(const shim_settings &settings, launch_request *request)
{
    const shim_text &path = settings.path;
    int bare = path.length < 2 || path.text[1] != ':';
    for (unsigned i = 0; i < path.length; i++)
        bare &= path.text[i] != '\\' && path.text[i] != '/';
    if (bare)
        put(path.text, path.length);
    else
        put_path(path);
    request->command = take();
    request->path_only = 1;
    request->words.name = 0;
    request->words.arguments = list_later_arguments(settings);
    request->about_command = name_value("path", path);
    request->directory = 0;
    request->about_directory = 0;
    if (settings.directory.line) {
        put_path(settings.directory);
        request->directory = take();
        request->about_directory = name_value("directory", settings.directory);
    }
    if (!request->command || !request->words.arguments || !request->about_command ||
        (settings.directory.line && !(request->directory && request->about_directory)))
        return report_mistake(SHIM_NO_MEMORY, 0);
    unsigned used = 0;
    for (unsigned i = 0; i < settings.library_count; i++)
        if (add_library(settings.libraries[i], &used) != 0)
            return -1;
    return 0;
}

int read_request(int, char **, launch_request *request)
{
    unsigned size;
    file_length = name_file();
    if (!file_length) {
        report_error_about("Shim Failed", 0);
        return -1;
    }
    if (read_shim_file(module, bytes, &size) != 0) {
        report_error_about("Shim Failed", locate(0));
        return -1;
    }
    int length = size ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, (int)size, text,
                                            SHIM_FILE_LIMIT + 1)
                      : 0;
    if (size && !length)
        return report_mistake(SHIM_NOT_TEXT, 0);
    shim_settings settings;
    int mistake = parse_shim(text, (unsigned)length, &settings);
    if (mistake)
        return report_mistake(mistake, settings.mistake_line);
    return fill_request(settings, request);
}

int read_library_directories(const WCHAR **directories)
{
    *directories = libraries[0] ? libraries : 0;
    return 0;
}
