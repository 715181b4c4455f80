/*
 * A chain of named launchers that leads back into itself (a copy whose
 * path names another copy, which names the first) ends after a bounded
 * number of steps instead of filling the machine with processes, and a
 * bare search never starts a launcher that is already in the chain, so two
 * folders of copies on PATH lead on to the real program.
 *
 * Every named launcher passes a variable on to its command: the number of
 * named launchers that led to it, itself included, in decimal, then for
 * each of them whose file it knows ";" and 24 upper-case hexadecimal
 * digits, the volume serial and the high and low file index, 8 each:
 *
 *     2;1A2B3C4D0000000000001F2E;1A2B3C4D0000000000001F30
 *
 * A launcher knows its own file only where it had to open it (own_file.cpp),
 * so the identities never outnumber the count.  Anything else in the
 * variable, a number out of range included, is taken for no chain: a value
 * of another program's is never read as a count.  Its name begins with "=",
 * as the drive variables' do, which the command interpreter's "set" does
 * not list.
 */
#include "shim/shim.h"
#include "runtime/bytes.h"

enum {
    IDENTITY_DIGITS = 24,
    /* "32", then ";" and the digits for each. */
    CHAIN_TEXT_SIZE = 2 + SHIM_CHAIN_LIMIT * (1 + IDENTITY_DIGITS) + 1
};

static constexpr auto chain_name = WIDE("=ShimChain");
static const char hex_digits[] = "0123456789ABCDEF";

static unsigned chain_count, identity_count;
static file_identity identities[SHIM_CHAIN_LIMIT];

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

/* The count and identities as this launcher's caller wrote them; 0 when
   the text is not in that form. */
static int read_chain(const WCHAR *text)
{
    unsigned count = 0, digits = 0;
    while (digits < 2 && text[0] >= '0' && text[0] <= '9') {
        count = count * 10 + (unsigned)(*text++ - '0');
        digits++;
    }
    if (count == 0 || count > SHIM_CHAIN_LIMIT || (digits == 2 && count < 10))
        return 0;
    unsigned found = 0;
    for (; *text == ';'; text += 1 + IDENTITY_DIGITS) {
        if (found == count || !read_identity(text + 1, &identities[found]))
            return 0;
        found++;
    }
    if (*text)
        return 0;
    chain_count = count;
    identity_count = found;
    return 1;
}

int join_chain(void)
{
    WCHAR text[CHAIN_TEXT_SIZE];
    chain_count = identity_count = 0;
    DWORD length = GetEnvironmentVariableW(chain_name, text, CHAIN_TEXT_SIZE);
    if (length == 0 || length >= CHAIN_TEXT_SIZE || !read_chain(text))
        chain_count = identity_count = 0;
    return chain_count >= SHIM_CHAIN_LIMIT ? SHIM_CHAIN : SHIM_FINE;
}

int is_in_chain(const file_identity *candidate)
{
    for (unsigned i = 0; i < identity_count; i++)
        if (is_same_file(candidate, &identities[i]))
            return 1;
    return 0;
}

void pass_chain_on(void)
{
    WCHAR text[CHAIN_TEXT_SIZE];
    unsigned count = chain_count + 1;
    WCHAR *end = text;
    if (count >= 10)
        *end++ = (WCHAR)('0' + count / 10);
    *end++ = (WCHAR)('0' + count % 10);
    for (unsigned i = 0; i < identity_count; i++)
        end = write_identity(end, identities[i]);
    file_identity own;
    if (find_own_identity(&own) && !is_in_chain(&own))
        end = write_identity(end, own);
    *end = 0;
    SetEnvironmentVariableW(chain_name, text);
}
