/*
 * Messages that have nowhere to go.  A program started from a shortcut may
 * have no standard error at all; every write of a message then fails.  The
 * build decides whether the text is lost with those writes, as for any
 * console program, or taken to be shown some other way.
 */
#include "builds/build.h"
#include "runtime/error_reporting.h"

HANDLE get_error_handle(void)
{
    handle_slot *slot = find_slot(2);
    return slot ? slot->handle : INVALID_HANDLE_VALUE;
}

int keep_if_unwritable(HANDLE handle, const char *text, unsigned count)
{
    if (handle == 0 || handle == INVALID_HANDLE_VALUE)
        return keep_unwritten_message(text, count);
    return 0;
}
