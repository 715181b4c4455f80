#include "shim/shim.h"
#include "runtime/bytes.h"

#define MISTAKE_TEXT(name, text) text "\0"
static constexpr char mistake_texts[] = SHIM_MISTAKES(MISTAKE_TEXT);
static_assert(count_texts(mistake_texts, sizeof mistake_texts) == SHIM_MISTAKE_COUNT,
              "no text holds a zero of its own");

/* Lower case: a key is matched ignoring case by folding the file's. */
#define KEY_TEXT(name, text, properties) text "\0"
static constexpr char keys[] = SHIM_KEYS(KEY_TEXT);
static_assert(count_texts(keys, sizeof keys) == SHIM_KEY_COUNT, "no name holds a zero of its own");

const char *get_shim_mistake_text(int mistake)
{
    return find_text(mistake_texts, mistake);
}

const char *get_shim_key_name(int key)
{
    return find_text(keys, key);
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

static const char *find(const char *from, const char *to, char c)
{
    while (from < to && *from != c)
        from++;
    return from;
}

/* A line ends in LF, CR LF or a CR alone, as an editor of any system may
   have left it: a CR is never part of a value. */
static const char *find_line_end(const char *from, const char *to)
{
    while (from < to && *from != '\n' && *from != '\r')
        from++;
    return from;
}

/* Keys are ASCII; a byte beyond it never matches one. */
static int find_key(const shim_text &key)
{
    const char *name = keys;
    for (int k = 0; k < SHIM_KEY_COUNT; k++, name += text_length(name) + 1) {
        unsigned i = 0;
        while (i < key.length && name[i] && (key.text[i] | 0x20) == name[i])
            i++;
        if (i == key.length && !name[i])
            return k;
    }
    return -1;
}

/* The quote rule (shim.h) as the file writes the value: one pair around
   the whole of it goes; the rest is judged in resolve_shim.cpp. */
static shim_text unquote(const shim_text &value)
{
    if (value.length >= 2 && value.text[0] == '"' && value.text[value.length - 1] == '"')
        return shim_text{value.text + 1, value.length - 2, value.line};
    return value;
}

/* One "key = value" line into the settings; "NAME=VALUE" of env is taken
   apart at its first "=", with the blanks around it dropped. */
static int take_setting(const char *from, const char *to, unsigned line, shim_settings *settings)
{
    const char *equals = find(from, to, '=');
    if (equals == to)
        return SHIM_NO_EQUALS;
    int key = find_key(trim(from, equals, line));
    if (key < 0)
        return SHIM_UNKNOWN_KEY;
    shim_setting *setting = &settings->settings[settings->count];
    setting->key = key;
    setting->line = settings->mistake;
    shim_text value = trim(equals + 1, to, line);
    if (has_key_property(key, KEY_SETS_VARIABLE)) {
        const char *end = value.text + value.length;
        equals = find(value.text, end, '=');
        setting->name = trim(value.text, equals, line);
        if (equals == end || !setting->name.length)
            return SHIM_NOT_VARIABLE;
        value = trim(equals + 1, end, line);
    }
    if (has_key_property(key, KEY_UNQUOTED))
        value = unquote(value);
    if (value.length == 0 && !has_key_property(key, KEY_MAY_BE_EMPTY))
        return SHIM_NO_VALUE;
    if (has_key_property(key, KEY_ONCE)) {
        if (settings->once[key])
            return SHIM_REPEATED_KEY;
        settings->once[key] = setting;
    }
    setting->value = value;
    settings->count++;
    return SHIM_FINE;
}

/* A line without its blanks or comment.  A NUL is no text: the file as a
   whole is wrong. */
static int take_line(const char *from, const char *to, unsigned line, shim_settings *settings)
{
    shim_text text = trim(from, to, line);
    settings->mistake = text;
    if (find(from, to, 0) != to) {
        settings->mistake.line = 0;
        return SHIM_NOT_TEXT;
    }
    if (text.length == 0 || text.text[0] == '#')
        return SHIM_FINE;
    return take_setting(text.text, text.text + text.length, line, settings);
}

int parse_shim(const char *text, unsigned length, shim_settings *settings)
{
    settings->count = 0;
    for (shim_setting *&setting : settings->once)
        setting = 0;
    const char *end = text + length;

    const char *from = text;
    for (unsigned line = 1;; line++) {
        const char *to = find_line_end(from, end);
        int mistake = take_line(from, to, line, settings);
        if (mistake)
            return mistake;
        if (to == end)
            break;
        from = to + (to[0] == '\r' && to + 1 < end && to[1] == '\n' ? 2 : 1);
    }
    settings->mistake.line = 0;
    return settings->once[SHIM_PATH] ? SHIM_FINE : SHIM_NO_PATH;
}
