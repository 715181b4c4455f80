#include "shim/shim.h"
#include "runtime/heap.h"

static const char *const mistake_texts[] = {
    "", "a line without \"=\"", "unknown key", "key given twice", "no value",
    "no path", "not UTF-8 text", "Not enough space",
};

enum { KEY_PATH, KEY_ARGS, KEY_DIRECTORY, KEY_LIB, KEY_COUNT };
static const char *const keys[KEY_COUNT] = {"path", "args", "directory", "lib"};

const char *get_shim_mistake_text(int mistake)
{
    return mistake_texts[mistake];
}

static int is_blank(WCHAR c)
{
    return c == ' ' || c == '\t';
}

static shim_text trim(const WCHAR *from, const WCHAR *to, unsigned line)
{
    while (from < to && is_blank(*from))
        from++;
    while (to > from && is_blank(to[-1]))
        to--;
    return shim_text{from, (unsigned)(to - from), line};
}

/* Keys are ASCII; a character beyond it never matches one. */
static int find_key(const shim_text &key)
{
    for (int k = 0; k < KEY_COUNT; k++) {
        unsigned i = 0;
        while (i < key.length && keys[k][i] && (key.text[i] | 0x20) == keys[k][i])
            i++;
        if (i == key.length && !keys[k][i])
            return k;
    }
    return -1;
}

/* One "key = value" line into the settings. */
static int take_setting(const WCHAR *from, const WCHAR *to, unsigned line, shim_settings *settings)
{
    const WCHAR *equals = from;
    while (equals < to && *equals != '=')
        equals++;
    if (equals == to)
        return SHIM_NO_EQUALS;
    int key = find_key(trim(from, equals, line));
    if (key < 0)
        return SHIM_UNKNOWN_KEY;
    shim_text value = trim(equals + 1, to, line);
    if (value.length >= 2 && value.text[0] == '"' && value.text[value.length - 1] == '"')
        value = shim_text{value.text + 1, value.length - 2, line};
    if (value.length == 0 && key != KEY_ARGS)
        return SHIM_NO_VALUE;
    if (key == KEY_LIB) {
        settings->libraries[settings->library_count++] = value;
        return SHIM_FINE;
    }
    shim_text *slot = key == KEY_PATH ? &settings->path
                      : key == KEY_ARGS ? &settings->args
                                        : &settings->directory;
    if (slot->line)
        return SHIM_REPEATED_KEY;
    *slot = value;
    return SHIM_FINE;
}

/* A line without its CR, blanks or comment; a NUL is no text. */
static int take_line(const WCHAR *from, const WCHAR *to, unsigned line, shim_settings *settings)
{
    if (to > from && to[-1] == '\r')
        to--;
    for (const WCHAR *at = from; at < to; at++)
        if (!*at)
            return SHIM_NOT_TEXT;
    shim_text text = trim(from, to, line);
    if (text.length == 0 || text.text[0] == '#')
        return SHIM_FINE;
    return take_setting(text.text, text.text + text.length, line, settings);
}

int parse_shim(const WCHAR *text, unsigned length, shim_settings *settings)
{
    *settings = shim_settings{};
    const WCHAR *end = text + length;
    if (length && text[0] == 0xFEFF)
        text++;
    unsigned lines = 1;
    for (const WCHAR *at = text; at < end; at++)
        lines += *at == '\n';
    settings->libraries = (shim_text *)allocate(lines * sizeof(shim_text));
    if (!settings->libraries)
        return SHIM_NO_MEMORY;

    const WCHAR *from = text;
    for (unsigned line = 1;; line++) {
        const WCHAR *to = from;
        while (to < end && *to != '\n')
            to++;
        int mistake = take_line(from, to, line, settings);
        if (mistake) {
            settings->mistake_line = line;
            return mistake;
        }
        if (to == end)
            return settings->path.line ? SHIM_FINE : SHIM_NO_PATH;
        from = to + 1;
    }
}
