#include "runtime/own_path.h"
#include "runtime/limits.h"

/* The last unit is never offered, so the path always ends there, even
   where the platform fills the buffer without a terminator (XP). */
static WCHAR own_path[LONG_PATH_SIZE + 1];

WCHAR *read_own_path(DWORD *length)
{
    *length = GetModuleFileNameW(0, own_path, LONG_PATH_SIZE);
    return own_path;
}
