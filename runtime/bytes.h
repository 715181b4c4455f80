/* Byte and text helpers: the launcher carries no C library. */
#ifndef RUNTIME_BYTES_H
#define RUNTIME_BYTES_H

#include "platform/kernel32.h"

#include <stddef.h>

size_t text_length(const char *text);
/* Copies a zero-terminated text with its terminator; returns the address of
   the copied terminator, so that texts can be joined one after another. */
char *copy_text(char *target, const char *text);
/* The same for text as the platform holds it, in UTF-16 units. */
WCHAR *copy_wide_text(WCHAR *target, const WCHAR *text);
void copy_bytes(void *target, const void *source, size_t count);
void fill_bytes(void *target, int value, size_t count);

#endif
