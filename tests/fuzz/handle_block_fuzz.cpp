/*
 * The handle table built from an inherited handle inheritance block of any
 * bytes and any size.
 *
 * Input: an options byte, a byte choosing which allocation fails, then the
 * block.  Options: bit 0 makes the count agree with the size (a well-formed
 * block), bit 1 maps every handle of the block onto a few live handles of
 * every type, bit 2 fails one group allocation, bits 3-4 give standard error's
 * type, bit 5 makes a well-formed block one of 8-byte handles (4 + 9N bytes,
 * as a 64-bit parent writes it).
 *
 * The block is handed over in a vector of exactly its size, which is also
 * cbReserved2, so a read outside it stops the run.  The table must keep its
 * shape (a multiple of 32 slots, at most 2048), every taken slot must come
 * from inside the block with the open flag and a handle, and a well-formed
 * block must have every slot taken that the rules allow, asking the platform
 * for the type of every handle but a pipe's.
 */
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

enum { WELL_FORMED = 0x01, LIVE_HANDLES = 0x02, FAIL_GROUP = 0x04, WIDE_HANDLES = 0x20 };
const uint64_t NO_HANDLE = ~(uint64_t)0;

const DWORD handle_types[] = {FILE_TYPE_CHAR, FILE_TYPE_DISK, FILE_TYPE_PIPE, FILE_TYPE_UNKNOWN,
                              FILE_TYPE_CHAR | 0x8000, FILE_TYPE_DISK, FILE_TYPE_PIPE, 0x55};

DWORD read_word(const std::vector<BYTE> &block, size_t at)
{
    return (DWORD)block[at] | (DWORD)block[at + 1] << 8 | (DWORD)block[at + 2] << 16 |
           (DWORD)block[at + 3] << 24;
}

void write_word(std::vector<BYTE> &block, size_t at, DWORD value)
{
    for (int i = 0; i < 4; i++)
        block[at + i] = (BYTE)(value >> (8 * i));
}

LONG count_of(const std::vector<BYTE> &block)
{
    return block.size() >= 4 ? (LONG)read_word(block, 0) : 0;
}

/* A block of exactly 4 + 9N bytes holds 8-byte handles, any other 4-byte
   ones. */
size_t width_of(const std::vector<BYTE> &block)
{
    LONG n = count_of(block);
    return n > 0 && block.size() - 4 == 9 * (size_t)n ? 8 : 4;
}

/* What the block says of slot i, when all of it lies inside the block; a
   4-byte handle sign-extended, as the platform widens it. */
struct described_slot {
    bool inside;
    BYTE flags;
    uint64_t handle;
};

described_slot describe_slot(const std::vector<BYTE> &block, size_t i)
{
    LONG n = count_of(block);
    size_t width = width_of(block);
    if (n <= 0 || i >= (size_t)n)
        return {false, 0, 0};
    size_t flag_at = 4 + i, handle_at = 4 + (size_t)n + width * i;
    if (flag_at >= block.size() || handle_at + width > block.size())
        return {false, 0, 0};
    uint64_t handle = width == 8 ? (uint64_t)read_word(block, handle_at + 4) << 32 |
                                       read_word(block, handle_at)
                                 : (uint64_t)(int64_t)(int32_t)read_word(block, handle_at);
    return {true, block[flag_at], handle};
}

struct world_handles {
    std::map<DWORD, DWORD> types;
    std::vector<DWORD> live;
    HANDLE error = INVALID_HANDLE_VALUE;
};

world_handles make_handles(uint8_t options)
{
    world_handles h;
    for (DWORD type : handle_types) {
        HANDLE handle = sim::add_handle(type);
        h.types[(DWORD)(uintptr_t)handle] = type;
        h.live.push_back((DWORD)(uintptr_t)handle);
    }
    uint8_t error_type = (options >> 3) & 3;
    if (error_type) {
        h.error = sim::set_std_handle(STD_ERROR_HANDLE, error_type);
        h.types[(DWORD)(uintptr_t)h.error] = error_type;
    }
    return h;
}

void shape_block(std::vector<BYTE> &block, uint8_t options, const world_handles &h)
{
    /* A wide block is told by its exact size; a narrow one may carry
       bytes after its last handle. */
    bool wide = options & WIDE_HANDLES;
    if ((options & WELL_FORMED) && block.size() >= 4) {
        size_t n = (block.size() - 4) / (wide ? 9 : 5);
        write_word(block, 0, (DWORD)n);
        if (wide)
            block.resize(4 + 9 * n);
    }
    if (!(options & LIVE_HANDLES))
        return;
    LONG n = count_of(block);
    size_t width = width_of(block);
    for (size_t i = 0; n > 0 && i < (size_t)n; i++) {
        described_slot d = describe_slot(block, i);
        if (!d.inside)
            break;
        if (d.handle == NO_HANDLE)
            continue;
        size_t at = 4 + (size_t)n + width * i;
        write_word(block, at, h.live[d.handle % h.live.size()]);
        if (width == 8)
            write_word(block, at + 4, 0);
    }
}

bool takes(const described_slot &d, const world_handles &h)
{
    if (!d.inside || d.handle == NO_HANDLE || !(d.flags & SLOT_OPEN))
        return false;
    if (d.flags & SLOT_PIPE)
        return true;
    if (d.handle > 0xFFFFFFFFu)
        return false;
    auto found = h.types.find((DWORD)d.handle);
    return found != h.types.end() && found->second != FILE_TYPE_UNKNOWN;
}

/* A standard slot that the block did not fill: the platform's handle. */
void check_standard_slot(int i, const handle_slot *slot, const world_handles &h)
{
    HANDLE expected = i == 2 ? h.error : INVALID_HANDLE_VALUE;
    DWORD type = expected == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN
                                                  : h.types.at((DWORD)(uintptr_t)expected);
    BYTE flags = SLOT_OPEN | SLOT_TEXT;
    if (type == FILE_TYPE_UNKNOWN || (type & 0xFF) == FILE_TYPE_CHAR)
        flags |= SLOT_DEVICE;
    else if ((type & 0xFF) == FILE_TYPE_PIPE)
        flags |= SLOT_PIPE;
    REQUIRE(slot->flags == flags);
    REQUIRE(slot->handle == (type == FILE_TYPE_UNKNOWN ? INVALID_HANDLE_VALUE : expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size - 2 > 0xFFFF)
        return 0;
    enter_fresh_world();
    uint8_t options = data[0], failing = data[1];
    world_handles h = make_handles(options);
    std::vector<BYTE> block(data + 2, data + size);
    shape_block(block, options, h);
    const std::vector<BYTE> given = block;
    sim::world().startup_block = std::vector<BYTE>(block.begin(), block.end());
    bool group_failed = options & FAIL_GROUP;
    if (group_failed)
        sim::fail_allocation(2 + failing % 64);

    create_heap();
    init_handle_table();

    LONG n = count_of(given);
    size_t described = n > 0 ? std::min<size_t>((size_t)n, MAX_SLOTS) : 0;
    size_t most = std::max<size_t>(SLOTS_PER_GROUP, (described + 31) / 32 * 32);
    bool well_formed = n > 0 && 4 + (size_t)n + width_of(given) * described <= given.size();
    REQUIRE(handle_count % SLOTS_PER_GROUP == 0);
    REQUIRE(handle_count >= SLOTS_PER_GROUP && handle_count <= MAX_SLOTS);
    REQUIRE((size_t)handle_count <= most);
    if (well_formed && !group_failed)
        REQUIRE((size_t)handle_count == most);

    for (int i = 0; i < handle_count; i++) {
        const handle_slot *slot = find_slot(i);
        described_slot d = describe_slot(given, (size_t)i);
        bool from_block = slot->handle != INVALID_HANDLE_VALUE && d.inside &&
                          slot->handle == (HANDLE)(uintptr_t)d.handle;
        if (i < 3 && from_block && slot->flags == (d.flags | SLOT_TEXT)) {
            REQUIRE(takes(d, h));
            continue;
        }
        if (i < 3) {
            REQUIRE(!(well_formed && !group_failed && takes(d, h)));
            check_standard_slot(i, slot, h);
            continue;
        }
        if (slot->flags == 0 && slot->handle == INVALID_HANDLE_VALUE) {
            REQUIRE(!(well_formed && !group_failed && takes(d, h)));
            continue;
        }
        REQUIRE(from_block && takes(d, h));
        REQUIRE(slot->flags == d.flags);
    }
    /* The platform is asked for the type of every described handle except
       those of pipes, whose flag says it, and of every standard handle that
       the block did not give. */
    if (well_formed && !group_failed) {
        std::multiset<uint64_t> asked, expected;
        for (const sim::call &c : sim::calls_named("GetFileType"))
            asked.insert(c.args[0]);
        for (size_t i = 0; i < described; i++) {
            described_slot d = describe_slot(given, i);
            if (d.handle != NO_HANDLE && (d.flags & SLOT_OPEN) && !(d.flags & SLOT_PIPE))
                expected.insert(d.handle);
        }
        if (!takes(describe_slot(given, 2), h) && h.error != INVALID_HANDLE_VALUE)
            expected.insert((uint64_t)(uintptr_t)h.error);
        REQUIRE(asked == expected);
    }
    std::vector<sim::call> counts = sim::calls_named("SetHandleCount");
    REQUIRE(counts.size() == 1 && counts[0].args[0] == (uint64_t)handle_count);
    return 0;
}
