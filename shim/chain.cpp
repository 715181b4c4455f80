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

static int read_hex_digit(WCHAR c)
{
    for (int i = 0; i < 16; i++)
        if (hex_digits[i] == c)
            return i;
    return -1;
}

/* The identity at text, or 0 when the 24 digits are not there: three
   words of 8 digits each. */
static int read_identity(const WCHAR *text, file_identity *identity)
{
    DWORD words[3] = {};
    for (int i = 0; i < IDENTITY_DIGITS; i++) {
        int digit = read_hex_digit(text[i]);
        if (digit < 0)
            return 0;
        words[i / 8] = words[i / 8] << 4 | (DWORD)digit;
    }
    identity->volume = words[0];
    identity->index_high = words[1];
    identity->index_low = words[2];
    return 1;
}

static WCHAR *write_identity(WCHAR *text, const file_identity *identity)
{
    const DWORD words[3] = {identity->volume, identity->index_high, identity->index_low};
    *text++ = ';';
    for (int i = 0; i < IDENTITY_DIGITS; i++)
        *text++ = (WCHAR)hex_digits[words[i / 8] >> (28 - 4 * (i % 8)) & 0xF];
    return text;
}

static WCHAR *write_count(WCHAR *text, unsigned count)
{
    if (count >= 10)
        *text++ = (WCHAR)('0' + count / 10);
    *text++ = (WCHAR)('0' + count % 10);
    return text;
}

/* A value of either variable: the largest count it can be read as, 0 when
   it is not set.  That is the number it begins with plus the ">" marks it
   ends with (a run of marks alone is their number; a count followed by
   marks, what 1.3.0 makes of a count, their sum), and at least 1 for any
   value, one too long to be read among them.  Its identities, at most room
   of them, are read where it is in the chain's own form: a count of 1 to 32
   without a leading zero, at most that many identities, each after ";",
   and nothing else. */
static unsigned read_chain_value(const WCHAR *name, file_identity *list, unsigned room,
                                 unsigned *found)
{
    WCHAR text[CHAIN_TEXT_SIZE];
    DWORD length = GetEnvironmentVariableW(name, text, CHAIN_TEXT_SIZE);
    *found = 0;
    if (length == 0 || length >= CHAIN_TEXT_SIZE)
        return length ? 1 : 0;
    const WCHAR *at = text;
    unsigned count = 0, digits = 0, marks = 0;
    /* Beyond the limit every count ends the chain alike. */
    for (; *at >= '0' && *at <= '9'; at++, digits++)
        if (count < SHIM_CHAIN_LIMIT)
            count = count * 10 + (unsigned)(*at - '0');
    if (count >= 1 && count <= SHIM_CHAIN_LIMIT && digits == 1u + (count >= 10))
        for (; *at == ';' && *found < count && *found < room; at += 1 + IDENTITY_DIGITS)
            if (!read_identity(at + 1, &list[(*found)++]))
                break;
    if (*at)
        *found = 0;
    for (; *at; at++)
        marks = *at == '>' ? marks + 1 : 0;
    return count + marks ? count + marks : 1;
}

int join_chain(void)
{
    unsigned next_found;
    chain_count = read_chain_value(chain_name, identities, SHIM_CHAIN_LIMIT, &identity_count);
    unsigned next = read_chain_value(next_name, &started, 1, &next_found);
    started_known = next_found == 1;
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
                end = write_identity(end, &identities[i]);
        if (!is_in_chain(&own))
            end = write_identity(end, &own);
    }
    *end = 0;
    SetEnvironmentVariableW(chain_name, text);
    end = write_count(text, count);
    if (next_known)
        end = write_identity(end, &next);
    *end = 0;
    SetEnvironmentVariableW(next_name, text);
}
