#include "shim/shim.h"

static const char *const mistake_texts[] = {
    "", "a line without \"=\"", "unknown key", "key given twice", "no value",
    "no path", "not UTF-8 text", "Not enough space",
};

static const char *const keys[SHIM_KEY_COUNT] = {"path", "args", "directory", "lib"};

const char *get_shim_mistake_text(int mistake)
{
    return mistake_texts[mistake];
}

static int is_blank(char c)
{
    return c == ' ' || c == '\t';
}

static shim_text trim(const char *from, const char *to, unsigned line)
{
    while (from < to && is_blank(*from))
        from++;
    while (to > from && is_blank(to[-1]))
        to--;
    return shim_text{from, (unsigned)(to - from), line};
}

/* Keys are ASCII; a byte beyond it never matches one. */
static int find_key(const shim_text &key)
{
    for (int k = 0; k < SHIM_KEY_COUNT; k++) {
        unsigned i = 0;
        while (i < key.length && keys[k][i] && (key.text[i] | 0x20) == keys[k][i])
            i++;
        if (i == key.length && !keys[k][i])
            return k;
    }
    return -1;
}

/* One "key = value" line into the settings. */
static int take_setting(const char *from, const char *to, unsigned line, shim_settings *settings)
{
    const char *equals = from;
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
    if (value.length == 0 && key != SHIM_ARGS)
        return SHIM_NO_VALUE;
    if (key == SHIM_LIB)
        settings->libraries[settings->library_count++] = value;
    else if (settings->values[key].line)
        return SHIM_REPEATED_KEY;
    else
        settings->values[key] = value;
    return SHIM_FINE;
}

/* A line without its CR, blanks or comment.  A NUL is no text: the file
   as a whole is wrong. */
static int take_line(const char *from, const char *to, unsigned line, shim_settings *settings)
{
    if (to > from && to[-1] == '\r')
        to--;
    shim_text text = trim(from, to, line);
    settings->mistake = text;
    for (const char *at = from; at < to; at++) {
        if (!*at) {
            settings->mistake.line = 0;
            return SHIM_NOT_TEXT;
        }
    }
    if (text.length == 0 || text.text[0] == '#')
        return SHIM_FINE;
    return take_setting(text.text, text.text + text.length, line, settings);
}

int parse_shim(const char *text, unsigned length, shim_settings *settings)
{
    for (shim_text &value : settings->values)
        value.line = 0;
    settings->library_count = 0;
    const char *end = text + length;

    const char *from = text;
    for (unsigned line = 1;; line++) {
        const char *to = from;
        while (to < end && *to != '\n')
            to++;
        int mistake = take_line(from, to, line, settings);
        if (mistake)
            return mistake;
        if (to == end)
            break;
        from = to + 1;
    }
    settings->mistake.line = 0;
    return settings->values[SHIM_PATH].line ? SHIM_FINE : SHIM_NO_PATH;
}
