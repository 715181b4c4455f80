/*
 * The handle table: low-level handle slots numbered from 0, held in groups of
 * 32 and never more than 64 groups.  Each slot is a platform handle (-1 for
 * none) and a flag byte; a free slot is flag byte 0 with handle -1.  Slots 0
 * to 2 are standard input, output and error and carry the open and text flags
 * once start-up has run.
 *
 * The handle inheritance block passes the table between processes: a signed
 * 32-bit count N, then N flag bytes, then N handles, little-endian and
 * without gaps.  A C runtime reads the handles as wide as its own pointers,
 * so they are 4 bytes each for a 32-bit program and 8 for a 64-bit one.
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
/* A standard slot that got no handle becomes free, where it would else be
   open on nothing: the command then takes that standard handle from its
   own console rather than one that is not valid. */
void free_missing_standard_slots(void);

/* Bytes per handle in a block: a 32-bit program's, a 64-bit program's.
   The only two widths, named here for every layer. */
enum { BLOCK_WIDTH_32 = 4, BLOCK_WIDTH_64 = 8 };

DWORD read_block_word(const BYTE *at);
void write_block_word(BYTE *at, DWORD value);
/* A handle of `width` bytes.  A 4-byte one is sign-extended and an 8-byte
   one written with the sign of a 32-bit launcher's handle, so that "no
   handle" (-1) is all ones at every width. */
HANDLE read_block_handle(const BYTE *at, unsigned width);
void write_block_handle(BYTE *at, HANDLE handle, unsigned width);

#endif
