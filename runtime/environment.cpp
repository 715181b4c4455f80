#include "runtime/environment.h"
#include "platform/kernel32.h"
#include "runtime/bytes.h"
#include "runtime/exit.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"

int environment_source;
char **environment_snapshot;

/* Characters up to and including the zero that ends the block; an empty
   block is that zero alone. */
template <typename unit> static int count_block(const unit *block)
{
    const unit *at = block;
    while (*at) {
        while (*at)
            at++;
        at++;
    }
    return (int)(at - block) + 1;
}

static char *convert_wide_block(WCHAR *wide)
{
    int no_memory;
    char *block = convert_to_ansi(wide, count_block(wide), &no_memory);
    FreeEnvironmentStringsW(wide);
    return block;
}

static char *copy_single_byte_block(char *source)
{
    int length = count_block(source);
    char *block = (char *)allocate((size_t)length);
    if (block)
        copy_bytes(block, source, (size_t)length);
    FreeEnvironmentStringsA(source);
    return block;
}

/* The wide block, unless the first read found none and took the
   single-byte one: the source the first read found is kept for every later
   read. */
char *read_os_environment(void)
{
    if (environment_source != SOURCE_SINGLE_BYTE) {
        WCHAR *wide = GetEnvironmentStringsW();
        if (wide) {
            environment_source = SOURCE_WIDE;
            return convert_wide_block(wide);
        }
        if (environment_source == SOURCE_WIDE)
            return 0;
    }
    char *single = GetEnvironmentStrings();
    if (!single)
        return 0;
    environment_source = SOURCE_SINGLE_BYTE;
    return copy_single_byte_block(single);
}

void build_environment_snapshot(char *block)
{
    size_t count = 0;
    for (char *at = block; *at; at += text_length(at) + 1)
        if (*at != '=')
            count++;

    char **snapshot = (char **)allocate((count + 1) * sizeof(char *));
    if (!snapshot)
        fail_with_runtime_error(RUNTIME_ERROR_ENVIRONMENT);
    char **next = snapshot;
    for (char *at = block; *at; at += text_length(at) + 1) {
        if (*at == '=')
            continue;
        char *copy = (char *)allocate(text_length(at) + 1);
        if (!copy)
            fail_with_runtime_error(RUNTIME_ERROR_ENVIRONMENT);
        copy_text(copy, at);
        *next++ = copy;
    }
    *next = 0;
    release(block);
    environment_snapshot = snapshot;
}
