/*
 * What differs between the shipped builds, and nothing else.  The logic in
 * launcher/, exec/ and runtime/ is the same in every build; each build links
 * exactly one file of this folder, which answers the questions below:
 *
 *   launcher.cpp       launcher.exe: a console program that ends with 0 as
 *                      soon as the command has started
 *   launcherw.cpp      launcherw.exe: the same without a console window; a
 *                      message that does not reach standard error whole is
 *                      shown in a message box instead of being lost
 *   launcher_wait.cpp  launcher-wait.exe: waits for the command, passes its
 *                      exit code on, and takes the command down with it
 */
#ifndef BUILDS_BUILD_H
#define BUILDS_BUILD_H

#include "platform/kernel32.h"

/* Called just before each CreateProcessA; returns the creation flags added
   to the start of the command. */
DWORD prepare_start(void);

/* Called once CreateProcessA has made the command's process: ends the
   launcher, at once or once the command has ended. */
[[noreturn]] void finish_start(PROCESS_INFORMATION *process);

/* Every piece of a message on its way to standard error, as it is meant,
   before it is written; `missing` when there is no standard error at all.
   Returns nonzero when the build takes the piece instead of the write: the
   write, bound to fail, is then not made, so its failure cannot replace the
   reason the message reports.  Otherwise the write is made, as for any
   console program. */
int keep_message(const char *text, unsigned count, int missing);

/* A message did not reach standard error whole: a write failed or fell
   short. */
void lose_message(void);

/* Called once as the process ends, just before the platform's exit. */
void show_unwritten_messages(void);

/* Puts the build's own state back to what a new process has: the host
   tests run many launches in one process.  No exe calls it. */
void reset_build_state(void);

#endif
