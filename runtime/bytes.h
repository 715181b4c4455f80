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
/* A number in decimal, written into the end of a buffer of DECIMAL_SIZE
   bytes; returns where its first digit is. */
enum { DECIMAL_SIZE = 11 };
const char *format_decimal(char *buffer, DWORD number);
void fill_bytes(void *target, int value, size_t count);

/*
 * Tables of texts are kept as one block, the texts one after another, each
 * ended by its zero, rather than behind a table of addresses: the addresses
 * and their relocations take more room in a 16 KiB exe than the walk.  A
 * block is written as one literal in which every text, the last too, ends
 * with its own "\0"; the literal's own terminator only closes the block.
 */
/* The text at that position of a block. */
const char *find_text(const char *block, int position);
/* The texts in a block literal of `size` bytes, for a static_assert that a
   block and its enum agree. */
constexpr int count_texts(const char *block, size_t size)
{
    int count = 0;
    for (size_t i = 0; i + 1 < size; i++)
        count += block[i] == 0;
    return count;
}
/* Whether no number of a table stands in it twice, for a static_assert
   over a table whose rows come in any order. */
constexpr bool are_distinct(const unsigned char *numbers, size_t count)
{
    for (size_t i = 0; i < count; i++)
        for (size_t j = 0; j < i; j++)
            if (numbers[i] == numbers[j])
                return false;
    return true;
}

/*
 * A wide text made from an ASCII literal when the program is compiled, in
 * the platform's WCHAR: wchar_t under the Windows headers, char16_t under
 * the host's, so no prefix of a literal serves both.
 *     static constexpr auto path_name = WIDE("PATH");
 * stands wherever a const WCHAR * is wanted; its size counts the
 * terminator, as an array's does.
 */
template <size_t size> struct wide_literal {
    WCHAR units[size];
    constexpr operator const WCHAR *() const { return units; }
};

template <size_t size> constexpr wide_literal<size> widen_literal(const char (&text)[size])
{
    wide_literal<size> wide = {};
    for (size_t i = 0; i < size; i++)
        wide.units[i] = (WCHAR)text[i];
    return wide;
}

#define WIDE(text) widen_literal(text)

#endif
