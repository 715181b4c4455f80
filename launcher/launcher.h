/* The launcher's own decisions: extend PATH, change directory, hand over. */
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
    command_words words;         /* the command line the command gets */
    /* The line after a failure's message that says where the directory or
       the command was given.  A change of directory without one fails
       quietly, and the command starts where the launcher stands. */
    const char *about_directory;
    const char *about_command;
};

/* The main routine.  Returns the process status (-1 on every failure, 0
   without a command); after a successful hand-over it does not return.
   The snapshot is not used. */
int run_launcher(int count, char **arguments, char **snapshot);
/* Changes the current directory and records it in the drive-directory
   variable ("=D:"); 0, or -1 with the error number set. */
int change_directory(const char *path);

#endif
