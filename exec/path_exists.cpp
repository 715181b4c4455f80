#include "exec/exec.h"
#include "platform/kernel32.h"
#include "runtime/error_number.h"

/* Anything that exists passes, directories and read-only files included;
   whether it can run is for the start to find out. */
int path_exists(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return 0;
    return fail_with_last_error();
}
