#include "runtime/bytes.h"

size_t text_length(const char *text)
{
    const char *end = text;
    while (*end)
        end++;
    return (size_t)(end - text);
}

char *copy_text(char *target, const char *text)
{
    while ((*target = *text++) != 0)
        target++;
    return target;
}

const char *format_decimal(char *buffer, DWORD number)
{
    char *at = buffer + DECIMAL_SIZE - 1;
    *at = 0;
    do
        *--at = (char)('0' + number % 10);
    while (number /= 10);
    return at;
}

WCHAR *copy_wide_text(WCHAR *target, const WCHAR *text)
{
    while ((*target = *text++) != 0)
        target++;
    return target;
}

void copy_bytes(void *target, const void *source, size_t count)
{
    unsigned char *to = (unsigned char *)target;
    const unsigned char *from = (const unsigned char *)source;
    while (count--)
        *to++ = *from++;
}

const char *find_text(const char *block, int position)
{
    for (; position > 0; position--)
        while (*block++)
            ;
    return block;
}

void fill_bytes(void *target, int value, size_t count)
{
    unsigned char *to = (unsigned char *)target;
    while (count--)
        *to++ = (unsigned char)value;
}
