/*
 * Libraries other than KERNEL32 (USER32, ADVAPI32, SHELL32), and the
 * functions KERNEL32 has only on some versions of Windows: loaded and
 * looked up at the moment they are needed, so the import table stays
 * KERNEL32 alone and an ordinary start never touches them.
 */
#ifndef RUNTIME_LIBRARY_H
#define RUNTIME_LIBRARY_H

#include "platform/kernel32.h"

typedef void (*any_function)(void);

/* The function of that name, or null where the library (null: it did not
   load) or the function is missing.  The caller casts it to its type. */
any_function find_function(HMODULE library, const char *name);

#endif
