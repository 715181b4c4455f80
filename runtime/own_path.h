/*
 * The exe's own path, as the platform gives it in UTF-16: one buffer for
 * every part that asks for it (a named launcher's file and its own
 * identity, its elevated start, the title of a message box) rather than
 * 64 KiB of its own each.  Each part reads it when it needs it, and the
 * buffer holds the same path every time.
 */
#ifndef RUNTIME_OWN_PATH_H
#define RUNTIME_OWN_PATH_H

#include "platform/kernel32.h"

/* The path, always terminated, and its length in UTF-16 units as
   GetModuleFileNameW gives it: 0 when it fails (the last error says why),
   LONG_PATH_SIZE when the path does not fit whole.  A message shown as
   the process ends may cut it to the event log's limit, when nothing
   else will read it. */
WCHAR *read_own_path(DWORD *length);

#endif
