/*
 * The handle table: low-level handle slots numbered from 0, held in groups of
 * 32 and never more than 64 groups.  Each slot is a platform handle (-1 for
 * none) and a flag byte; a free slot is flag byte 0 with handle -1.  Slots 0
 * to 2 are standard input, output and error and carry the open and text flags
 * once start-up has run.
 *
 * The handle inheritance block passes the table between processes: a signed
 * 32-bit count N, then N flag bytes, then N 32-bit handles, little-endian and
 * without gaps.
 */
#ifndef RUNTIME_HANDLE_TABLE_H
#define RUNTIME_HANDLE_TABLE_H

#include "platform/kernel32.h"

enum {
    SLOT_OPEN = 0x01,
    SLOT_END_OF_FILE = 0x02,
    SLOT_PIPE = 0x08,
    SLOT_NO_INHERIT = 0x10,
    SLOT_APPEND = 0x20,
    SLOT_DEVICE = 0x40,
    SLOT_TEXT = 0x80
};

enum { SLOTS_PER_GROUP = 32, MAX_GROUPS = 64, MAX_SLOTS = SLOTS_PER_GROUP * MAX_GROUPS };

struct handle_slot {
    HANDLE handle;
    unsigned char flags;
};

extern handle_slot *handle_groups[MAX_GROUPS];
extern int handle_count;

/* The slot of a handle number, or null when the number, compared unsigned,
   is not below the slot count. */
handle_slot *find_slot(int number);
void init_handle_table(void);

/* Handles travel in the block as 32-bit values whatever the pointer size. */
HANDLE handle_from_block(DWORD value);
DWORD handle_to_block(HANDLE handle);

#endif
