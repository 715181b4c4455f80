/*
 * What differs between the shipped builds, and nothing else.  The logic in
 * launcher/, exec/ and runtime/ is the same in every build; each build links
 * exactly one file of this folder, which answers the questions below:
 *
 *   launcher.cpp       launcher.exe: a console program that ends with 0 as
 *                      soon as the command has started
 *   launcherw.cpp      launcherw.exe: the same without a console window; a
 *                      message with no standard error to go to is shown in a
 *                      message box instead of being lost
 *   launcher_wait.cpp  launcher-wait.exe: waits for the command, passes its
 *                      exit code on, and takes the command down with it
 */
#ifndef BUILDS_BUILD_H
#define BUILDS_BUILD_H

#include "platform/kernel32.h"

/* Creation flags added to the start of the command. */
DWORD get_start_flags(void);

/* Called once CreateProcessA has made the command's process.  Ends the
   launcher, or returns -1 with the error number set when the process could
   not be set going (it is then gone again, and the search goes on as after
   any failed start). */
int finish_start(PROCESS_INFORMATION *process);

/* A piece of a message for a standard error that does not exist.  Returns
   nonzero when the build takes the piece to show it another way: the write,
   bound to fail, is then not made, so its failure cannot replace the reason
   the message reports.  Otherwise the write is made and fails, as for any
   console program. */
int keep_unwritten_message(const char *text, unsigned count);

/* Called once as the process ends, just before the platform's exit. */
void show_unwritten_messages(void);

#endif
