/*
 * The trace's lines.  A line is gathered in a static buffer and leaves in
 * one write through the error stream's own, so text-mode line ends hold;
 * a refused line is no lost message, and never makes a later one shown
 * again.  Where there is no standard error (a windowless build started
 * from a shortcut) a line leaves as one debugger message.  Never through a
 * build's other way of showing a message: a trace is no failure, and a box
 * is for failures.
 *
 * What a line shows comes from the caller's world: variables, PATH,
 * arguments, the file.  A control character among them could end the line
 * early and forge another ("trace: found ..."), or steer the console, so
 * every one shows as \xHH, and so does a backslash before an "x": what
 * reads \xHH always stands for one character, and nothing else changes.
 */
#include "runtime/trace.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/lead_bytes.h"
#include "runtime/limits.h"

/* A longer line leaves in pieces of at most this many bytes. */
enum { LINE_LIMIT = 512 };

int trace_level;
static char line[LINE_LIMIT + 1];
static unsigned used;
static const char hex_digits[] = "0123456789ABCDEF";

/* Once, at the start: the level is off until then. */
void read_trace_level(void)
{
    char value[4];
    DWORD length = GetEnvironmentVariableA("LAUNCHER_TRACE", value, sizeof value);
    if (length == 1 && value[0] == '1')
        trace_level = TRACE_ON;
    if (length == 3 && value[0] == 'd' && value[1] == 'r' && value[2] == 'y')
        trace_level = TRACE_DRY;
}

/* A write that fails is the trace's own: the error number the launcher
   is about to act on or report stays as it was. */
static void send_gathered(void)
{
    int number = error_number;
    DWORD code = os_error_code;
    HANDLE handle = get_error_handle();
    line[used] = 0;
    if (handle == 0 || handle == INVALID_HANDLE_VALUE)
        OutputDebugStringA(line);
    else
        write_slot(2, line, used);
    error_number = number;
    os_error_code = code;
    used = 0;
}

static void put(char c)
{
    if (used == LINE_LIMIT)
        send_gathered();
    line[used++] = c;
}

/* The character at text, shown; where the next begins.  A double-byte
   character passes whole: its second byte may have the value of "\". */
static const char *put_shown(const char *text)
{
    unsigned char c = (unsigned char)*text;
    if (is_lead_byte(c) && text[1]) {
        put(text[0]);
        put(text[1]);
        return text + 2;
    }
    if (c < 0x20 || c == 0x7F || (c == '\\' && text[1] == 'x')) {
        put('\\');
        put('x');
        put(hex_digits[c >> 4]);
        put(hex_digits[c & 0xF]);
    } else {
        put((char)c);
    }
    return text + 1;
}

/* Up to `stop` or the end of the text; where it stopped. */
static const char *add_until(const char *text, char stop)
{
    while (*text && *text != stop)
        text = put_shown(text);
    return text;
}

static void add(const char *text)
{
    if (text)
        add_until(text, 0);
}

/* Converted as the launcher converts everything it takes in; empty when
   it cannot be. */
static const char *narrow_for_trace(const WCHAR *text)
{
    static char ansi[3 * VARIABLE_SIZE];
    if (!WideCharToMultiByte(CP_ACP, conversion_flags, text, -1, ansi, sizeof ansi, 0, 0))
        ansi[0] = 0;
    return ansi;
}

static int start_line(const char *label, const char *text)
{
    if (trace_level == TRACE_OFF)
        return 0;
    add("trace: ");
    add(label);
    add(text);
    return 1;
}

static void end_line(const char *more)
{
    add(more);
    put('\n');
    send_gathered();
}

void trace_line(const char *label, const char *text, const char *more)
{
    if (start_line(label, text))
        end_line(more);
}

void trace_outcome(const char *label, const char *text, int result)
{
    if (!start_line(label, text))
        return;
    if (result != 0) {
        add(": ");
        char code[WINDOWS_ERROR_NAME_SIZE];
        name_windows_error(code, os_error_code);
        add(get_error_text(error_number));
        add(code);
    }
    end_line(0);
}

void trace_full_path(const char *label, const char *path)
{
    static char full[LONG_PATH_SIZE];
    if (trace_level == TRACE_OFF)
        return;
    DWORD length = GetFullPathNameA(path, LONG_PATH_SIZE, full, 0);
    trace_line(label, length && length < LONG_PATH_SIZE ? full : path, 0);
}

void trace_number(const char *label, unsigned number)
{
    char digits[DECIMAL_SIZE];
    trace_line(label, format_decimal(digits, number), 0);
}

void trace_variable(const WCHAR *name, const WCHAR *value)
{
    if (trace_level == TRACE_OFF)
        return;
    start_line(value ? "set " : "remove ", narrow_for_trace(name));
    if (value) {
        add("=");
        add(narrow_for_trace(value));
    }
    end_line(0);
}

/* ";" is below any second byte of a double-byte character. */
void trace_entries(const char *label, const WCHAR *entries)
{
    if (trace_level == TRACE_OFF)
        return;
    for (const char *at = narrow_for_trace(entries); *at;) {
        start_line(label, 0);
        at = add_until(at + (*at == ';'), ';');
        end_line(0);
    }
}
