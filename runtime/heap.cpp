/*
 * The heap is a private Win32 heap without serialisation (the launcher has
 * one thread).  It keeps no bookkeeping of its own: HeapAlloc already returns
 * null on failure, which is all the callers rely on.
 */
#include "runtime/heap.h"
#include "platform/kernel32.h"

static HANDLE launcher_heap;

int create_heap(void)
{
    launcher_heap = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
    return launcher_heap ? 0 : -1;
}

void *allocate(size_t size)
{
    return HeapAlloc(launcher_heap, 0, size);
}

void *allocate_zeroed(size_t size)
{
    return HeapAlloc(launcher_heap, HEAP_ZERO_MEMORY, size);
}

void release(void *block)
{
    if (block)
        HeapFree(launcher_heap, 0, block);
}
