/*
 * Splitting follows the Windows conventions for program arguments: blanks
 * (space and tab) separate arguments outside quotes; backslashes are literal
 * except before a double quote, where each pair yields one backslash and an
 * odd one makes the quote literal; a doubled quote inside quotes yields one
 * literal quote.  The program name is taken more simply, since a path holds
 * backslashes but never quotes.  A lead byte always takes the byte after it
 * along, so that byte is never a quote, backslash or blank.
 */
#include "runtime/arguments.h"
#include "platform/kernel32.h"
#include "runtime/exit.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/limits.h"

int argument_count;
char **argument_vector;

struct splitter {
    const unsigned char *at;
    char **entries;
    char *strings;
    split_result counts;
};

static void begin_argument(splitter *s)
{
    if (s->entries)
        s->entries[s->counts.entry_count] = s->strings + s->counts.byte_count;
    s->counts.entry_count++;
}

static void add_byte(splitter *s, unsigned char c)
{
    if (s->strings)
        s->strings[s->counts.byte_count] = (char)c;
    s->counts.byte_count++;
}

/* Takes the character at the cursor: one byte, or a lead byte with its
   second.  A lead byte right before the terminator has no second byte and
   goes alone, so the cursor never passes the terminator. */
static void take_character(splitter *s)
{
    if (is_lead_byte(*s->at) && s->at[1])
        add_byte(s, *s->at++);
    add_byte(s, *s->at++);
}

static int is_blank(unsigned char c)
{
    return c == ' ' || c == '\t';
}

static void split_program_name(splitter *s)
{
    begin_argument(s);
    if (*s->at == '"') {
        s->at++;
        while (*s->at && *s->at != '"')
            take_character(s);
        if (*s->at == '"')
            s->at++;
    } else {
        while (*s->at && !is_blank(*s->at))
            take_character(s);
        if (*s->at)
            s->at++;
    }
    add_byte(s, 0);
}

static void add_backslashes(splitter *s, unsigned count)
{
    while (count--)
        add_byte(s, '\\');
}

/* One argument; quote mode lasts across arguments. */
static void split_argument(splitter *s, int *in_quotes)
{
    begin_argument(s);
    for (;;) {
        unsigned backslashes = 0;
        while (*s->at == '\\') {
            s->at++;
            backslashes++;
        }
        int keep = 1;
        if (*s->at == '"' && backslashes % 2 == 0) {
            add_backslashes(s, backslashes / 2);
            if (*in_quotes && s->at[1] == '"')
                s->at++;
            else
                keep = 0;
            *in_quotes = !*in_quotes;
        } else if (*s->at == '"') {
            add_backslashes(s, (backslashes - 1) / 2);
        } else {
            add_backslashes(s, backslashes);
        }
        if (!*s->at || (!*in_quotes && is_blank(*s->at)))
            break;
        if (keep)
            take_character(s);
        else
            s->at++; /* a quote that only switched quote mode */
    }
    add_byte(s, 0);
}

split_result parse_command_line(const char *text, char **entries, char *strings)
{
    splitter s = {(const unsigned char *)text, entries, strings, {0, 0}};
    split_program_name(&s);
    int in_quotes = 0;
    for (;;) {
        while (is_blank(*s.at))
            s.at++;
        if (!*s.at)
            break;
        split_argument(&s, &in_quotes);
    }
    if (entries)
        entries[s.counts.entry_count] = 0;
    s.counts.entry_count++;
    return s.counts;
}

/* The program name ends where the C runtimes end it, so the command gets
   what a program started directly would take for its arguments: quotes
   toggle, and the first blank outside them ends it ("C:\tools"\tool.exe
   is one name). */
const char *find_argument_tail(const char *command_line)
{
    const unsigned char *at = (const unsigned char *)command_line;
    int quoted = 0;
    while (*at && (quoted || !is_blank(*at))) {
        quoted ^= *at == '"';
        at += is_lead_byte(*at) && at[1] ? 2 : 1;
    }
    while (is_blank(*at))
        at++;
    return (const char *)at;
}

/*
 * The launcher converts its command line itself rather than take the
 * platform's ANSI copy, whose best-fit mapping turns a character the code
 * page lacks into a look-alike: a full-width quote would become a quote and
 * change how the arguments split.  See conversion_flags.
 */
char *read_command_line(void)
{
    const WCHAR *wide = GetCommandLineW();
    if (!wide)
        return 0;
    int no_memory;
    char *line = convert_to_ansi(wide, -1, &no_memory);
    if (no_memory)
        fail_with_runtime_error(RUNTIME_ERROR_ARGUMENTS);
    return line;
}

void build_argument_vector(const char *command_line)
{
    /* One byte more than offered: a platform that fills the whole buffer
       leaves no terminator of its own. */
    char module_path[SHORT_PATH_SIZE + 1] = {0};
    GetModuleFileNameA(0, module_path, SHORT_PATH_SIZE);
    const char *text = *command_line ? command_line : module_path;

    split_result counts = parse_command_line(text, 0, 0);
    size_t entry_bytes = counts.entry_count * sizeof(char *);
    char **block = (char **)allocate(entry_bytes + counts.byte_count);
    if (!block)
        fail_with_runtime_error(RUNTIME_ERROR_ARGUMENTS);
    parse_command_line(text, block, (char *)block + entry_bytes);
    argument_count = (int)counts.entry_count - 1;
    argument_vector = block;
}
