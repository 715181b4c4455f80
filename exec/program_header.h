/* Where an executable's header keeps what exec reads of it. */
#ifndef EXEC_PROGRAM_HEADER_H
#define EXEC_PROGRAM_HEADER_H

#include "platform/kernel32.h"

enum {
    DOS_HEADER_SIZE = 64,
    NEW_HEADER_AT = 0x3C, /* where the DOS header keeps the PE header's offset */
    /* From the PE header on: "PE\0\0", the machine field in the file
       header, and the subsystem field 68 bytes into the optional header
       that follows the file header's 20, for 32- and 64-bit programs
       alike. */
    MACHINE_AT = 4,
    MACHINE_END = 6,
    SUBSYSTEM_AT = 92,
    SUBSYSTEM_END = 94
};

static inline WORD read_header_word(const BYTE *at)
{
    return (WORD)(at[0] | at[1] << 8);
}

#endif
