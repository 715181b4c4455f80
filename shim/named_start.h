/*
 * A named start, step by step, as the launcher asks for it: the adapter,
 * builds/from_shim_file.cpp, answers the launcher's questions with these,
 * and maps the file's settings onto the request.
 */
#ifndef SHIM_NAMED_START_H
#define SHIM_NAMED_START_H

#include "shim/shim.h"

/* What the process gives (received.cpp): the command line kept whole and
   PATH as received.  The tail is what follows the program name, as it
   stands; the PATH is null when unset or too long to search. */
void take_received_texts(void);
const char *get_received_tail(void);
const char *get_received_path(void);
/* PATH as the env lines left it, within what a variable holds, as it was
   received too: 0, or -1 after the message. */
int read_named_path(const WCHAR **value, DWORD *length);
void reset_received_texts(void);
/* The file of this start (named_file.cpp): 0, or -1 after the message. */
int read_named_file(void);
void reset_named_file(void);
/* The value of a key given once; line 0 when it is not given. */
shim_text find_shim_value(int key);
const shim_settings *find_shim_settings(void);
/* before, the span, between and after as a new text; null without memory
   or when a piece is missing. */
char *join_shim_text(const char *before, const shim_text &span, const char *between,
                     const char *after);
/* A value as a path, taken from the start directory when relative; null
   without memory. */
char *make_shim_path(const shim_text &value);
/* Where what failed was given: "KEY = VALUE in FILE", or the file alone
   for a value not given. */
char *locate_shim_setting(const char *key, const shim_text &what);
/* "Shim Failed", the mistake and the wrong line with the file, or the file
   alone: -1. */
int report_shim_mistake(int mistake);
/* The lib lines (libraries.cpp): each made absolute, then all of them
   after PATH (with ";" in front where PATH needs one) or null for none.
   0, or -1 after the message. */
int add_shim_libraries(const shim_settings *settings);
int find_shim_libraries(DWORD path_length, const WCHAR **directories);
void reset_shim_libraries(void);
/* The command (command.cpp): what path names, from the start directory or
   a bare name alone, for the search through PATH; the line after the file
   found (args, then the caller's arguments); the search's say on each
   candidate (exec/exec.h).  Null without memory. */
const char *find_shim_command(const shim_text &path);
char **list_shim_arguments(const shim_text &args);
int check_shim_candidate(const char *file, HANDLE opened);
/* A failed search in the named launcher's words, where it has its own:
   nonzero once reported. */
int explain_shim_failure(int result, const char *about);
void reset_shim_command(void);
/* Asked once a start has failed for want of elevation (elevate.cpp):
   EXEC_STARTED with the elevated copy's process, EXEC_FAILED with the
   error number set, or EXEC_REFUSED after the message that the prompt was
   declined. */
int start_shim_elevated(PROCESS_INFORMATION *process);

#endif
