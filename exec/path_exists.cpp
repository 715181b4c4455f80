#include "exec/exec.h"
#include "platform/kernel32.h"
#include "runtime/error_number.h"
#include "runtime/trace.h"

/* Anything that exists passes, directories and read-only files included;
   whether it can run is for the start to find out.  Every path asked about
   is a candidate of the search: the trace says why one is passed over. */
int path_exists(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return 0;
    int result = fail_with_last_error();
    trace_outcome("candidate ", path, result);
    return result;
}
