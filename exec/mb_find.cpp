#include "exec/exec.h"
#include "runtime/lead_bytes.h"

const char *mb_find_char(const char *text, char c)
{
    for (const unsigned char *at = (const unsigned char *)text; *at; at++) {
        if (is_lead_byte(*at)) {
            if (!at[1])
                return 0;
            at++;
        } else if (*at == (unsigned char)c) {
            return (const char *)at;
        }
    }
    return 0;
}

/* A lead byte right before the terminator, with no match before it, yields
   the terminator's position: a cut double-byte character is taken as the end
   of a directory part, so such a name never counts as bare. */
const char *mb_find_last_char(const char *text, char c)
{
    const unsigned char *last = 0;
    for (const unsigned char *at = (const unsigned char *)text; *at; at++) {
        if (is_lead_byte(*at)) {
            if (!at[1])
                return last ? (const char *)last : (const char *)at + 1;
            at++;
        } else if (*at == (unsigned char)c) {
            last = at;
        }
    }
    return (const char *)last;
}
