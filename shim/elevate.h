/*
 * A named launcher's elevated start: for a command whose manifest asks for
 * administrator rights, the launcher starts its own exe again through the
 * shell's "runas" verb (one prompt), so that the elevated copy reads the
 * file itself and its directory, lib and env lines take effect where the
 * command runs.
 */
#ifndef SHIM_ELEVATE_H
#define SHIM_ELEVATE_H

#include "platform/kernel32.h"

/* Whether the launcher runs elevated already; one that cannot tell counts
   as elevated, so that it never asks and no prompt follows another. */
int runs_elevated(void);
/* Starts the launcher's own exe elevated, with the arguments after its
   program name, in the current directory, shown as the caller asked: 0
   with the process handle (and no thread handle), or -1 with the error
   number set (ERROR_CANCELLED when the prompt was declined). */
int start_self_elevated(const char *arguments, PROCESS_INFORMATION *process);

#endif
