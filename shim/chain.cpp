/*
 * A chain of named launchers that leads back into itself (a copy whose
 * path names another copy, which names the first) ends after a bounded
 * number of steps instead of filling the machine with processes, and a
 * bare search never starts the launchers that started this one, so two
 * folders of copies on PATH lead on to the real program.
 *
 * Two variables go to the command, their names beginning with "=", as the
 * drive variables' do, which the command interpreter's "set" does not list:
 *
 *   =ShimChain  the number of named launchers that led to the command, in
 *               decimal; then, where the command is a named launcher too,
 *               for each launcher of the chain that started the next one
 *               ";" and 24 upper-case hexadecimal digits, the volume serial
 *               and the high and low file index, 8 each:
 *               2;1A2B3C4D0000000000001F2E;1A2B3C4D0000000000001F30
 *   =ShimNext   the same number, then ";" and the identity of the file
 *               this launcher started, where it could be had
 *
 * The first keeps the form that copies of 1.4.0 read; older copies pass the
 * second on untouched.  What they make of the first is not always a count
 * (1.4.0 takes a value not in its form for no chain, 1.3.0 counts its
 * characters and appends a ">"), so a launcher starts from the largest
 * count it can read in either, and every pass through it raises the count:
 * a loop that passes through this version on every round ends.
 *
 * The identities apply only where =ShimNext names this launcher's own file,
 * which only the launcher that started it directly writes.  A chain that
 * passed through a program that is no named launcher (a tool started
 * through one, which runs another) still counts, but passes over nothing.
 */
#include "shim/shim.h"
#include "runtime/bytes.h"

enum {
    IDENTITY_DIGITS = 24,
    /* "32", then ";" and the digits for each. */
    CHAIN_TEXT_SIZE = 2 + SHIM_CHAIN_LIMIT * (1 + IDENTITY_DIGITS) + 1
};

static constexpr auto chain_name = WIDE("=ShimChain");
static constexpr auto next_name = WIDE("=ShimNext");
static const char hex_digits[] = "0123456789ABCDEF";

/* The count this launcher starts from; the identities =ShimChain holds;
   the file =ShimNext says the launcher before started. */
static unsigned chain_count, identity_count;
static file_identity identities[SHIM_CHAIN_LIMIT];
static file_identity started;
static int started_known;

static DWORD *identity_words(file_identity *identity, int i)
{
    DWORD *words[] = {&identity->volume, &identity->index_high, &identity->index_low};
    return words[i];
}

static int read_hex_digit(WCHAR c)
{
    for (int i = 0; i < 16; i++)
        if (hex_digits[i] == c)
            return i;
    return -1;
}

/* The identity at text, or 0 when the 24 digits are not there. */
static int read_identity(const WCHAR *text, file_identity *identity)
{
    for (int word = 0; word < 3; word++) {
        DWORD value = 0;
        for (int i = 0; i < 8; i++) {
            int digit = read_hex_digit(*text++);
            if (digit < 0)
                return 0;
            value = value << 4 | (DWORD)digit;
        }
        *identity_words(identity, word) = value;
    }
    return 1;
}

static WCHAR *write_identity(WCHAR *text, file_identity identity)
{
    *text++ = ';';
    for (int word = 0; word < 3; word++)
        for (int shift = 28; shift >= 0; shift -= 4)
            *text++ = (WCHAR)hex_digits[*identity_words(&identity, word) >> shift & 0xF];
    return text;
}

static WCHAR *write_count(WCHAR *text, unsigned count)
{
    if (count >= 10)
        *text++ = (WCHAR)('0' + count / 10);
    *text++ = (WCHAR)('0' + count % 10);
    return text;
}

/* The identities of a value in the chain's own form: a count of 1 to 32
   without a leading zero, at most that many identities, each after ";",
   and nothing else.  Their number, at most room; -1 for any other value. */
static int read_identities(const WCHAR *text, file_identity *list, unsigned room)
{
    unsigned count = 0, digits = 0;
    while (digits < 2 && text[0] >= '0' && text[0] <= '9') {
        count = count * 10 + (unsigned)(*text++ - '0');
        digits++;
    }
    if (count == 0 || count > SHIM_CHAIN_LIMIT || (digits == 2 && count < 10))
        return -1;
    unsigned found = 0;
    for (; *text == ';'; text += 1 + IDENTITY_DIGITS) {
        if (found == count || found == room || !read_identity(text + 1, &list[found]))
            return -1;
        found++;
    }
    return *text ? -1 : (int)found;
}

/* The largest count a value can be read as: the number it begins with,
   plus the ">" marks it ends with (a run of marks alone is their number;
   a count followed by marks, what 1.3.0 makes of a count, their sum), and
   at least 1 for any value at all, one too long to be read among them.
   The text holds the value, or nothing when it is not one to read on. */
static unsigned read_count(const WCHAR *name, WCHAR *text)
{
    DWORD length = GetEnvironmentVariableW(name, text, CHAIN_TEXT_SIZE);
    unsigned count = 0, marks = 0;
    if (length == 0 || length >= CHAIN_TEXT_SIZE) {
        text[0] = 0;
        return length ? 1 : 0;
    }
    /* Beyond the limit every count ends the chain alike. */
    for (; *text >= '0' && *text <= '9'; text++)
        if (count < SHIM_CHAIN_LIMIT)
            count = count * 10 + (unsigned)(*text - '0');
    for (; *text; text++)
        marks = *text == '>' ? marks + 1 : 0;
    return count + marks ? count + marks : 1;
}

int join_chain(void)
{
    WCHAR text[CHAIN_TEXT_SIZE];
    chain_count = read_count(chain_name, text);
    int found = read_identities(text, identities, SHIM_CHAIN_LIMIT);
    identity_count = found > 0 ? (unsigned)found : 0;
    unsigned next = read_count(next_name, text);
    started_known = read_identities(text, &started, 1) == 1;
    if (next > chain_count)
        chain_count = next;
    return chain_count >= SHIM_CHAIN_LIMIT ? SHIM_CHAIN : SHIM_FINE;
}

/* The launcher before started this one itself: =ShimNext names the own
   file.  Asked only where an identity of the chain matters, since the own
   file is opened to know. */
static int is_started_directly(void)
{
    file_identity own;
    return started_known && find_own_identity(&own) && is_same_file(&started, &own);
}

int is_in_chain(const file_identity *candidate)
{
    for (unsigned i = 0; i < identity_count; i++)
        if (is_same_file(candidate, &identities[i]))
            return is_started_directly();
    return 0;
}

/* A named launcher as the command learns the launchers that started it,
   this one among them whatever its size; any other command learns the
   count alone, which it passes on to whatever it runs. */
void pass_chain_on(const char *file, HANDLE command)
{
    WCHAR text[CHAIN_TEXT_SIZE];
    unsigned count = chain_count + 1;
    file_identity next, own;
    int next_known = identify_opened_file(command, &next);
    WCHAR *end = write_count(text, count);
    if (next_known && has_shim_file(file) && find_own_identity(&own)) {
        if (is_started_directly())
            for (unsigned i = 0; i < identity_count; i++)
                end = write_identity(end, identities[i]);
        if (!is_in_chain(&own))
            end = write_identity(end, own);
    }
    *end = 0;
    SetEnvironmentVariableW(chain_name, text);
    end = write_count(text, count);
    if (next_known)
        end = write_identity(end, next);
    *end = 0;
    SetEnvironmentVariableW(next_name, text);
}
