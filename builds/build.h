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
 *
 * How the launcher sees the file system and the width of handles, the last
 * questions, differ between architectures, and the toolchain file chooses:
 *
 *   native_view_wow64.cpp  the 32-bit x86 builds, which on 64-bit Windows
 *                          run under WoW64
 *   native_view_none.cpp   the 64-bit builds (x64, ARM64), native anyway
 */
#ifndef BUILDS_BUILD_H
#define BUILDS_BUILD_H

#include "launcher/launcher.h"
#include "platform/kernel32.h"

/* What start-up takes from the process for the build's source of
   requests: the command line split into the argument vector and the
   environment copied into the snapshot, or the command line kept whole and
   PATH alone.  A command line or environment the platform does not give
   ends the process silently with -1. */
void take_process_texts(void);

/* The PATH the launcher was started with, searched for a bare command;
   null when it was not set. */
const char *get_search_path(void);

/* Fills the request from the argument vector or from the file; on a
   failure it reports what it can and returns -1. */
int read_request(int count, char **arguments, launch_request *request);

/* The directories appended to PATH, in order and joined by ";", or null
   for none; asked once the PATH limit has been checked, with the length of
   PATH in UTF-16 units.  -1 after a message. */
int read_library_directories(DWORD path_length, const WCHAR **directories);

/* Called with each candidate that exists, before it is started: 0 to start
   it, or -1 with the error number set to pass it over as the search says
   (a named launcher never starts its own file). */
int check_candidate(const char *file);

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

/* The search and the start see the file system as a native program of the
   system does (C:\Windows\System32 the native one); the process's own view
   comes back at once after the start, or after a search that started
   nothing, before anything is loaded into the launcher. */
void enter_native_view(void);
void leave_native_view(void);

/* Bytes per handle in the handle block of a program of the launcher's own
   architecture, and of the system's native programs (the cmd.exe that runs
   a batch file): 4 for 32-bit programs, 8 for 64-bit ones. */
unsigned get_own_handle_width(void);
unsigned get_native_handle_width(void);

/* Puts the build's own state back to what a new process has: the host
   tests run many launches in one process.  No exe calls it. */
void reset_build_state(void);
void reset_native_view(void);

#endif
