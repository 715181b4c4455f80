/*
 * The file of this start, NAME.shim beside NAME.exe: named
 * (shim_file_name.cpp), read whole, proved UTF-8, its byte-order mark
 * dropped, converted, taken apart and resolved.  The exe's folder is the
 * start directory, and every relative path of the file is taken from it,
 * never from the current directory: a copy starts alike from a shortcut, a
 * file association, a scheduled task or a terminal anywhere.  A message
 * names the setting at fault and the file, or the file alone.
 *
 * The file and the exe's path are converted to the ANSI code page (UTF-8
 * itself where the embedded manifest takes effect) without best fit, so no
 * character becomes a look-alike.  What is built here lives until the
 * process ends.
 */
#include "shim/named_start.h"
#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/error_reporting.h"
#include "runtime/heap.h"
#include "runtime/trace.h"

static shim_settings settings;
/* The exe's folder with its "\", and the file's name, in ANSI. */
static char *start_directory, *file_name;

/* A new text of the pieces; null without memory, or when one is missing. */
char *join_shim_text(const char *before, const shim_text &span, const char *between,
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
char *make_shim_path(const shim_text &value)
{
    return join_shim_text(is_relative_path(value.text) ? start_directory : "", value, "", "");
}

/* Where what failed was given: "KEY = VALUE in FILE", a wrong line as it
   stands and the file, or the file alone. */
char *locate_shim_setting(const char *key, const shim_text &what)
{
    return what.line ? join_shim_text(key, what, " in ", file_name) : file_name;
}

int report_shim_mistake(int mistake)
{
    report_failure("Shim Failed", get_shim_mistake_text(mistake),
                   locate_shim_setting("", settings.mistake));
    return -1;
}

/* The value of a key given once; line 0 when it is not given. */
shim_text find_shim_value(int key)
{
    const shim_setting *setting = settings.once[key];
    return setting ? setting->value : shim_text{"", 0, 0};
}

const shim_settings *find_shim_settings(void)
{
    return &settings;
}

int read_named_file(void)
{
    static char bytes[SHIM_FILE_LIMIT + 1];
    unsigned size;
    const WCHAR *name = name_shim_file(&start_directory, &file_name);
    if (name)
        trace_line("file ", file_name, 0);
    if (!name || read_shim_file(name, bytes, &size) != 0) {
        report_error_about("Shim Failed", file_name);
        return -1;
    }
    settings.mistake.line = 0;
    if (join_chain() != SHIM_FINE)
        return report_shim_mistake(SHIM_CHAIN);
    char *text;
    int text_size;
    int mistake = decode_shim_file(bytes, size, &text, &text_size);
    if (!mistake)
        mistake = parse_shim(text, (unsigned)text_size, &settings);
    if (!mistake)
        mistake = resolve_shim(&settings, start_directory);
    if (mistake)
        return report_shim_mistake(mistake);
    return 0;
}

void reset_named_file(void)
{
    /* A start whose own path cannot be had names no file. */
    start_directory = 0;
    file_name = 0;
}
