#include "runtime/handle_table.h"
#include "runtime/bytes.h"
#include "runtime/exit.h"
#include "runtime/heap.h"

handle_slot *handle_groups[MAX_GROUPS];
int handle_count;

handle_slot *find_slot(int number)
{
    if ((unsigned)number >= (unsigned)handle_count)
        return 0;
    return &handle_groups[number / SLOTS_PER_GROUP][number % SLOTS_PER_GROUP];
}

DWORD read_block_word(const BYTE *at)
{
    return (DWORD)at[0] | (DWORD)at[1] << 8 | (DWORD)at[2] << 16 | (DWORD)at[3] << 24;
}

void write_block_word(BYTE *at, DWORD value)
{
    at[0] = (BYTE)value;
    at[1] = (BYTE)(value >> 8);
    at[2] = (BYTE)(value >> 16);
    at[3] = (BYTE)(value >> 24);
}

HANDLE read_block_handle(const BYTE *at, unsigned width)
{
    DWORD low = read_block_word(at);
    DWORD high = width == BLOCK_WIDTH_64 ? read_block_word(at + 4) : (DWORD)((LONG)low >> 31);
    return (HANDLE)(INT_PTR)(long long)((unsigned long long)high << 32 | low);
}

void write_block_handle(BYTE *at, HANDLE handle, unsigned width)
{
    unsigned long long value = (unsigned long long)(long long)(INT_PTR)handle;
    write_block_word(at, (DWORD)value);
    if (width == BLOCK_WIDTH_64)
        write_block_word(at + 4, (DWORD)(value >> 32));
}

static int add_group(void)
{
    handle_slot *group = (handle_slot *)allocate(SLOTS_PER_GROUP * sizeof(handle_slot));
    if (!group)
        return -1;
    for (int i = 0; i < SLOTS_PER_GROUP; i++) {
        group[i].handle = INVALID_HANDLE_VALUE;
        group[i].flags = 0;
    }
    handle_groups[handle_count / SLOTS_PER_GROUP] = group;
    handle_count += SLOTS_PER_GROUP;
    return 0;
}

/* A block of exactly 4 + 9N bytes comes from a 64-bit parent and holds
   8-byte handles; any other size is read with 4-byte ones, as a 32-bit
   parent writes it. */
static unsigned find_block_width(DWORD n, DWORD size)
{
    return n <= (size - 4) / 9 && size - 4 == 9 * n ? BLOCK_WIDTH_64 : BLOCK_WIDTH_32;
}

/*
 * How many slots the block describes that lie wholly inside its size: the
 * count field says N, but a parent may hand over fewer bytes than N needs,
 * and nothing outside those bytes may be read.  The flags of slot i lie at
 * 4 + i and its handle at 4 + N + width * i.
 */
static DWORD count_block_slots(const BYTE *block, DWORD size, unsigned width)
{
    LONG n = (LONG)read_block_word(block);
    if (n <= 0)
        return 0;
    DWORD slots = (DWORD)n < (DWORD)MAX_SLOTS ? (DWORD)n : (DWORD)MAX_SLOTS;
    DWORD handles_at = 4 + (DWORD)n;
    if (handles_at >= size)
        return 0;
    DWORD whole = (size - handles_at) / width;
    return whole < slots ? whole : slots;
}

static void take_inherited_slots(const BYTE *block, DWORD size)
{
    if (size < 4)
        return;
    DWORD n = read_block_word(block);
    unsigned width = find_block_width(n, size);
    DWORD wanted = count_block_slots(block, size, width);
    if (wanted == 0)
        return;
    while ((DWORD)handle_count < wanted) {
        if (add_group() != 0) {
            wanted = (DWORD)handle_count;
            break;
        }
    }
    for (DWORD i = 0; i < wanted; i++) {
        BYTE flags = block[4 + i];
        HANDLE handle = read_block_handle(block + 4 + n + width * i, width);
        if (handle == INVALID_HANDLE_VALUE || !(flags & SLOT_OPEN))
            continue;
        /* A pipe's type is known from its flag; asking the platform about
           every handle would cost a call per slot. */
        if (!(flags & SLOT_PIPE) && GetFileType(handle) == FILE_TYPE_UNKNOWN)
            continue;
        handle_slot *slot = find_slot((int)i);
        slot->handle = handle;
        slot->flags = flags;
    }
}

static void init_standard_slot(int number)
{
    static const DWORD standard_handles[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE,
                                              STD_ERROR_HANDLE};
    handle_slot *slot = find_slot(number);
    if (slot->handle != INVALID_HANDLE_VALUE) {
        slot->flags |= SLOT_TEXT;
        return;
    }
    slot->flags = SLOT_OPEN | SLOT_TEXT;
    HANDLE handle = GetStdHandle(standard_handles[number]);
    DWORD type = handle == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(handle);
    if (type == FILE_TYPE_UNKNOWN) {
        /* No usable handle: writes go nowhere, as on a device. */
        slot->flags |= SLOT_DEVICE;
        return;
    }
    slot->handle = handle;
    if ((type & 0xFF) == FILE_TYPE_CHAR)
        slot->flags |= SLOT_DEVICE;
    else if ((type & 0xFF) == FILE_TYPE_PIPE)
        slot->flags |= SLOT_PIPE;
}

void init_handle_table(void)
{
    handle_count = 0;
    if (add_group() != 0)
        fail_with_runtime_error(RUNTIME_ERROR_LOWIO);

    STARTUPINFOA startup;
    fill_bytes(&startup, 0, sizeof startup);
    GetStartupInfoA(&startup);
    if (startup.cbReserved2 != 0 && startup.lpReserved2 != 0)
        take_inherited_slots(startup.lpReserved2, startup.cbReserved2);

    for (int i = 0; i < 3; i++)
        init_standard_slot(i);
    SetHandleCount((UINT)handle_count);
}

void free_missing_standard_slots(void)
{
    for (int i = 0; i < 3; i++) {
        handle_slot *slot = find_slot(i);
        if (slot->handle == INVALID_HANDLE_VALUE)
            slot->flags = 0;
    }
}
