/*
 * Command execution: find the command and start it in the launcher's place.
 *
 * Candidates are built in buffers of their own; the caller's name and
 * argument vector are never changed.  Every search for "\", "/", ":" and "."
 * steps over double-byte characters, so the second byte of one is never taken
 * for a separator.  Every operation that starts a process ends the launcher
 * when the start succeeds, so the results below are failures: -1 with the
 * error number of the last attempt.
 */
#ifndef EXEC_EXEC_H
#define EXEC_EXEC_H

/* The name itself (".\" in front of a bare name), then, for a bare name that
   was not found, each directory of the PATH taken at start-up. */
int exec_search_path(const char *name, char **arguments);
/* One file name, with the ".\" and extension rules. */
int exec_file(const char *file, char **arguments, char **environment);
/* 0 when anything exists at the path, else -1 with the error number set. */
int path_exists(const char *path);
/* The value of a variable in the environment snapshot, or null. */
const char *get_snapshot_variable(const char *name);
/* The first, or last, character c of a text, or null. */
const char *mb_find_char(const char *text, char c);
const char *mb_find_last_char(const char *text, char c);
/* Starts the file with the joined arguments and the handle table; ends the
   launcher with 0 on success. */
int start_overlay(const char *file, char **arguments, char **environment);

#endif
