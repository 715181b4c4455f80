/*
 * What differs between the shipped builds, and nothing else.  The logic in
 * launcher/, exec/, runtime/ and shim/ is the same in every build; each
 * build links two files of this folder, chosen in cmake/win32.cmake.
 *
 * Where the start is described, the first two questions below:
 *
 *   from_command_line.cpp  launcher DIRECTORY COMMAND [ARGUMENT ...], with
 *                          the current directory as the start directory
 *   from_shim_file.cpp     NAME.shim beside NAME.exe, the exe's folder the
 *                          start directory
 *
 * How the start ends and where an unwritten message goes, the others:
 *
 *   launcher.cpp       a console program that ends with 0 as soon as the
 *                      command has started
 *   launcherw.cpp      the same without a console window; a message that
 *                      does not reach standard error whole is shown in a
 *                      message box instead of being lost
 *   launcher_wait.cpp  waits for the command, passes its exit code on, and
 *                      takes the command down with it
 *
 * launcher.exe, launcherw.exe and launcher-wait.exe take the first source
 * and one ending each; shim.exe takes the second with the waiting ending,
 * shimw.exe the second with the windowless one.
 */
#ifndef BUILDS_BUILD_H
#define BUILDS_BUILD_H

#include "launcher/launcher.h"
#include "platform/kernel32.h"

/* Fills the request from the argument vector or from the file; on a
   failure it reports what it can and returns -1. */
int read_request(int count, char **arguments, launch_request *request);

/* The directories appended to PATH, in order and joined by ";", or null
   for none; asked once the PATH limit has been checked.  -1 after a
   message. */
int read_library_directories(const WCHAR **directories);

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
