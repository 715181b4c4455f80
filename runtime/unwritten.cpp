/*
 * Messages that have nowhere to go.  A program started from a shortcut may
 * have no standard error at all, and one it was given may refuse to be
 * written.  The build sees every message as it is meant and hears of every
 * write that fell short; it decides whether the text is lost with those
 * writes, as for any console program, or shown some other way.
 */
#include "runtime/unwritten.h"
#include "runtime/error_reporting.h"

HANDLE get_error_handle(void)
{
    handle_slot *slot = find_slot(2);
    return slot ? slot->handle : INVALID_HANDLE_VALUE;
}

int keep_if_unwritable(HANDLE handle, const char *text, unsigned count)
{
    return keep_message(text, count, handle == 0 || handle == INVALID_HANDLE_VALUE);
}
