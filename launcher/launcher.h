/*
 * The launcher's own decisions: extend PATH, change directory, hand over.
 * The sequence is the program's main routine (run_main, runtime/start.h);
 * what it asks of the build is declared here and answered in builds/.
 */
#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

#include "exec/exec.h"

/*
 * One start, as the build's source describes it: its command line
 * (launcher DIRECTORY COMMAND [ARGUMENT ...]) or the file beside a named
 * launcher.  The texts are in the ANSI code page and live until the
 * process ends.
 */
struct launch_request {
    const char *directory;       /* the working directory; null: stay */
    const char *command;         /* the name looked for; null: none */
    int path_only;               /* a bare name is looked for through PATH
                                    alone, never in the working directory */
    /* The search and the start as exec takes them (exec/exec.h): the
       command line the command gets, the PATH searched, the source's say
       on each candidate and what it passes on to the command taken.  The
       sequence adds the build's prepare_start to its copy. */
    command_search search;
    /* The line after a failure's message that says where the directory or
       the command was given.  A change of directory without one fails
       quietly, and the command starts where the launcher stands. */
    const char *about_directory;
    const char *about_command;
    /* Asked once the search has failed, or refused a candidate, with its
       result and about_command: the source may explain the failure in
       words of its own, so a check that matters only after a failure
       costs a successful start nothing.  Nonzero when it has reported;
       null, or 0: the failure is reported as "Exec Failed" with the error
       number. */
    int (*explain_failure)(int result, const char *about);
    /* Asked once the start has failed for want of elevation
       (ERROR_ELEVATION_REQUIRED) to start again, elevated: EXEC_STARTED
       with the process (its thread handle may be null), EXEC_FAILED with
       the error number set, or EXEC_REFUSED after a message of its own.
       Null: the failure is reported as any other. */
    int (*start_elevated)(PROCESS_INFORMATION *process);
    /* The launcher may let a console made for it alone go once a GUI
       program has started, which has no use for it (finish_start). */
    int lets_console_go_for_gui;
};

/* Changes the current directory and records it in the drive-directory
   variable ("=D:"); 0, or -1 with the error number set. */
int change_directory(const char *path);

/* What the sequence asks of the build. */

/* Fills the request, which comes zeroed, from the argument vector or from
   the file: a field the source does not set stays zero.  On a failure it
   reports what it can and returns -1. */
int read_request(int count, char **arguments, launch_request *request);

/* PATH as the command is to get it before the library directories, read
   once the request is: its wide value and its length in UTF-16 units (an
   empty text and 0 when unset).  Each source has its own limit and
   message: -1 after the message when PATH is longer. */
int read_path(const WCHAR **value, DWORD *length);

/* What is appended to PATH: the library directories, in order and joined
   by ";", with the ";" in front where PATH needs one; or null for none.
   Asked with the length of PATH in UTF-16 units.  -1 after a message. */
int read_library_directories(DWORD path_length, const WCHAR **directories);

/* Called just before each CreateProcessA with the command's start-up
   information, which the build may add to; returns the creation flags
   added to the start of the command. */
DWORD prepare_start(STARTUPINFOA *startup);

/* Called once the command's process has been made, in the process's own
   view of the file system: ends the launcher, at once or once the command
   has ended.  console_unused: the command is a GUI program and the request
   lets the console go for one. */
[[noreturn]] void finish_start(PROCESS_INFORMATION *process, int console_unused);

#endif
