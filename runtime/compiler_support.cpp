/*
 * The compiler may emit calls to memcpy and memset for structure copies and
 * clears even in freestanding code.  The Windows build has no C library, so
 * they are defined here; this file is built with -fno-builtin and without
 * loop-to-call rewriting so that neither body turns into a call to itself.
 */
#include <stddef.h>

extern "C" void *memcpy(void *target, const void *source, size_t count)
{
    unsigned char *to = (unsigned char *)target;
    const unsigned char *from = (const unsigned char *)source;
    while (count--)
        *to++ = *from++;
    return target;
}

extern "C" void *memset(void *target, int value, size_t count)
{
    unsigned char *to = (unsigned char *)target;
    while (count--)
        *to++ = (unsigned char)value;
    return target;
}
