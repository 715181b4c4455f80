/* The launcher's own decisions: extend PATH, change directory, hand over. */
#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

/* The main routine: launcher DIRECTORY COMMAND [ARGUMENT ...].  Returns the
   process status (-1 on every failure, 0 without a command); after a
   successful hand-over it does not return.  The snapshot is not used. */
int run_launcher(int count, char **arguments, char **snapshot);
/* Changes the current directory and records it in the drive-directory
   variable ("=D:"); 0, or -1 with the error number set. */
int change_directory(const char *path);

#endif
