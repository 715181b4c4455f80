/*
 * The file's values made ready for use, line by line in file order, as a
 * batch file reads its lines: a reference takes the variable as the lines
 * before it left it, from the environment the launcher was started with
 * and the env lines above.  A name that is not defined stays as written,
 * as the command interpreter leaves it.
 *
 * Variables are read in their wide form and converted without best fit,
 * like everything else the launcher takes in: a character the code page
 * lacks becomes "?", which no file name holds, never a look-alike.
 */
#include "shim/shim.h"
#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/trace.h"

/* Room for any value a variable can hold, at three bytes a character. */
enum { EXPANDED_SIZE = 3 * VARIABLE_SIZE };

static char expanded[EXPANDED_SIZE];
static WCHAR wide_name[VARIABLE_SIZE], wide_value[VARIABLE_SIZE];

/* The name as a terminated wide text; a name too long for any variable is
   the empty name, which none has. */
static const WCHAR *widen_name(const shim_text &name)
{
    int units = MultiByteToWideChar(CP_ACP, 0, name.text, (int)name.length, wide_name,
                                    VARIABLE_SIZE - 1);
    wide_name[units] = 0;
    return wide_name;
}

/* The variable's value in ANSI at `to`: its length, 0 when it is not
   defined, or -1 when it does not fit. */
static int read_variable(const shim_text &name, char *to, unsigned room)
{
    DWORD size = GetEnvironmentVariableW(widen_name(name), wide_value, VARIABLE_SIZE);
    if (size == 0)
        return 0;
    /* No room at all would ask the conversion for the size instead. */
    if (size >= VARIABLE_SIZE || !room)
        return -1;
    int length = WideCharToMultiByte(CP_ACP, conversion_flags, wide_value, (int)size, to,
                                     (int)room, 0, 0);
    return length ? length : -1;
}

static int is_folder_reference(const char *at, const char *end)
{
    return end - at >= 5 && at[1] == '~' && (at[2] | 0x20) == 'd' && (at[3] | 0x20) == 'p' &&
           at[4] == '0';
}

/* The value with its references replaced, in `expanded`; its length, or
   -1 when it does not fit.  Only "%~dp0" counts in args. */
static int expand(const shim_text &value, int variables, const char *folder)
{
    const char *at = value.text, *end = at + value.length;
    unsigned length = 0;
    while (at < end) {
        const char *piece = at;
        unsigned count = 1;
        const char *close = at + 1;
        while (*at == '%' && close < end && *close != '%')
            close++;
        if (*at == '%' && is_folder_reference(at, end)) {
            piece = folder;
            count = (unsigned)text_length(folder);
            at += 4;
        } else if (*at == '%' && variables && close < end) {
            shim_text name = {at + 1, (unsigned)(close - at - 1), 0};
            int found = name.length ? read_variable(name, expanded + length, EXPANDED_SIZE - length)
                                    : 0;
            if (found < 0)
                return -1;
            length += (unsigned)found;
            /* A value stands for the whole reference; "%%" for one "%". */
            if (found || !name.length) {
                count = found ? 0 : 1;
                at = close;
            }
        }
        if (count > EXPANDED_SIZE - length)
            return -1;
        copy_bytes(expanded + length, piece, count);
        length += count;
        at++;
    }
    return (int)length;
}

static int holds(const char *text, unsigned length, char c)
{
    for (unsigned i = 0; i < length; i++)
        if (text[i] == c)
            return 1;
    return 0;
}

/* The quote rule (shim.h) on the value as it is used, its references
   replaced. */
static int check_quotes(const shim_setting *setting, unsigned length)
{
    if (!has_key_property(setting->key, KEY_UNQUOTED))
        return SHIM_FINE;
    if (holds(setting->value.text, setting->value.length, '"'))
        return SHIM_QUOTE;
    if (has_key_property(setting->key, KEY_PLACE) && holds(expanded, length, '"'))
        return SHIM_REFERENCE_QUOTE;
    return SHIM_FINE;
}

static int resolve_setting(shim_setting *setting, const char *folder)
{
    int length = expand(setting->value, has_key_property(setting->key, KEY_VARIABLES), folder);
    if (length < 0)
        return SHIM_TOO_LONG;
    int mistake = check_quotes(setting, (unsigned)length);
    if (mistake)
        return mistake;
    /* One directory, one entry of PATH. */
    if (has_key_property(setting->key, KEY_PATH_ENTRY) && holds(expanded, (unsigned)length, ';'))
        return SHIM_SEPARATOR;
    char *text = (char *)allocate((size_t)length + 1);
    if (!text)
        return SHIM_NO_MEMORY;
    copy_bytes(text, expanded, (size_t)length);
    text[length] = 0;
    setting->value = shim_text{text, (unsigned)length, setting->value.line};
    if (has_key_property(setting->key, KEY_SETS_VARIABLE)) {
        /* An empty value removes the variable. */
        if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide_value, VARIABLE_SIZE))
            return SHIM_TOO_LONG;
        if (!SetEnvironmentVariableW(widen_name(setting->name), length ? wide_value : 0) && length)
            return SHIM_NO_MEMORY;
        trace_variable(wide_name, length ? wide_value : 0);
    } else if (has_key_property(setting->key, KEY_PLACE) && depends_on_current_directory(text)) {
        return SHIM_CURRENT_DRIVE;
    } else {
        trace_line(get_shim_key_name(setting->key), " = ", text);
    }
    return SHIM_FINE;
}

int resolve_shim(shim_settings *settings, const char *folder)
{
    for (unsigned i = 0; i < settings->count; i++) {
        settings->mistake = settings->settings[i].line;
        int mistake = resolve_setting(&settings->settings[i], folder);
        if (mistake)
            return mistake;
    }
    settings->mistake.line = 0;
    return SHIM_FINE;
}
