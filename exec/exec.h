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

/* What the started program's command line is made of: its name, then the
   arguments after it, joined by single spaces.  Nothing is quoted or
   escaped but the name, and that only where it is the file found. */
struct command_words {
    const char *name;  /* the command as the user typed it; null: the file
                          found, in double quotes */
    char **arguments;  /* null-terminated; a single empty one adds nothing */
};

/* The name itself (".\" in front of a bare name), then, for a bare name that
   was not found, each directory of the PATH taken at start-up. */
int exec_search_path(const char *name, const command_words *words);
/* A bare name through the directories of PATH alone, never the working
   directory; a name with a directory part exactly where it says. */
int exec_search_path_only(const char *name, const command_words *words);
/* No directory part: no "\" or "/", and no drive in front. */
int is_bare_name(const char *name);
/* One file name, with the ".\" and extension rules. */
int exec_file(const char *file, const command_words *words, char **environment);
/* 0 when anything exists at the path, else -1 with the error number set. */
int path_exists(const char *path);
/* The value of a variable in the environment snapshot, or null. */
const char *get_snapshot_variable(const char *name);
/* The first, or last, character c of a text, or null. */
const char *mb_find_char(const char *text, char c);
const char *mb_find_last_char(const char *text, char c);
/* Bytes per handle in the handle block the file gets: its own width from
   its executable header, the native width for a batch file, else the
   launcher's own. */
unsigned find_handle_width(const char *file);
/* Starts the file with its command line and the handle table; ends the
   launcher as the build says on success. */
int start_overlay(const char *file, const command_words *words, char **environment);

#endif
