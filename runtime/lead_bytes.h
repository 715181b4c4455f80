/*
 * The lead-byte set: one flag per byte value, set for the bytes that begin a
 * double-byte character in the process's ANSI code page; empty for a
 * single-byte code page and for UTF-8.  Beside it the locale under which
 * variable names are compared ignoring case, and the flags of the launcher's
 * own conversions into the ANSI code page.
 */
#ifndef RUNTIME_LEAD_BYTES_H
#define RUNTIME_LEAD_BYTES_H

#include "platform/kernel32.h"

extern unsigned char lead_bytes[256];
extern LCID comparison_locale;
/* WC_NO_BEST_FIT_CHARS where the code page takes it, else 0. */
extern DWORD conversion_flags;

void init_lead_bytes(void);

/* A new copy of `length` UTF-16 units (-1: up to and with the terminator)
   in the ANSI code page, with the conversion flags.  Null when the text
   cannot be converted, or when there is no memory for it: then
   `no_memory` is set, and the second conversion is not made. */
char *convert_to_ansi(const WCHAR *wide, int length, int *no_memory);

static inline int is_lead_byte(unsigned char c)
{
    return lead_bytes[c];
}

#endif
