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

/*
 * Tables of texts are kept as one block, the texts one after another, each
 * ended by its zero, rather than behind a table of addresses: the addresses
 * and their relocations take more room in a 16 KiB exe than the walk.
 */
/* The text at that position of a block. */
const char *find_text(const char *block, int position);
/* The texts in a block of `size` bytes, for a static_assert that a block
   and its enum agree. */
constexpr int count_texts(const char *block, size_t size)
{
    int count = 0;
    for (size_t i = 0; i < size; i++)
        count += block[i] == 0;
    return count;
}

#endif
