/* The heap: every block is tracked, so a test sees what a run left behind,
   and the nth allocation can be made to fail. */
#include "platform/sim/sim.h"

#include <cstdlib>
#include <cstring>

static int heap_marker;

static const sim::service heap_create("HeapCreate");
extern "C" HANDLE HeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum)
{
    sim::record(heap_create.name, {options, initial, maximum});
    if (const sim::fault *f = sim::take_fault(heap_create)) {
        SetLastError(f->error);
        return (HANDLE)(uintptr_t)f->result;
    }
    return &heap_marker;
}

extern "C" BOOL HeapDestroy(HANDLE heap)
{
    sim::record("HeapDestroy", {(uint64_t)(uintptr_t)heap});
    return heap == &heap_marker;
}

extern "C" LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    int occurrence = ++sim::world().allocations;
    sim::record("HeapAlloc", {(uint64_t)(uintptr_t)heap, flags, size});
    if (heap != &heap_marker || sim::world().failing_allocations.count(occurrence))
        return nullptr;
    void *block = std::malloc(size ? size : 1);
    if (flags & HEAP_ZERO_MEMORY)
        std::memset(block, 0, size);
    sim::world().live_blocks[block] = size;
    return block;
}

extern "C" BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    sim::record("HeapFree", {(uint64_t)(uintptr_t)heap, flags});
    if (heap != &heap_marker || sim::world().live_blocks.erase(block) == 0) {
        sim::world().bad_frees++;
        return FALSE;
    }
    std::free(block);
    return TRUE;
}
