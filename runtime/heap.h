/* The launcher's one private heap; every allocation of every subsystem. */
#ifndef RUNTIME_HEAP_H
#define RUNTIME_HEAP_H

#include <stddef.h>

int create_heap(void);
/* A failed allocation returns null at once: no retry, no handler, and the
   error number is left alone. */
void *allocate(size_t size);
void *allocate_zeroed(size_t size);
void release(void *block);

#endif
