/*
 * The trace, for a user who asks what a start does and why: with
 * LAUNCHER_TRACE=1 every build describes on standard error, one item a
 * line, what it reads, sets, enters, tries and starts, then starts as
 * usual; with LAUNCHER_TRACE=dry it describes the same and starts nothing.
 * Any other value, or none, changes nothing: the variable is looked up
 * once, and every function here returns at once.  Every line begins with
 * "trace: ", so it is never taken for the command's output.
 */
#ifndef RUNTIME_TRACE_H
#define RUNTIME_TRACE_H

#include "platform/kernel32.h"

enum { TRACE_OFF, TRACE_ON, TRACE_DRY };
extern int trace_level;

/* Looks LAUNCHER_TRACE up, before anything the start does can change it. */
void read_trace_level(void);

static inline int is_dry_run(void)
{
    return trace_level == TRACE_DRY;
}

/* "trace: ", the label and the two texts as they are (a null one is left
   out), and a line end. */
void trace_line(const char *label, const char *text, const char *more);
/* The label and the text; after a failure (result nonzero) ": ", the
   reason the error number gives and, when Windows gave it, the Windows
   error behind it: a code without a mapping of its own reads "Invalid
   argument", and only the number tells which it was. */
void trace_outcome(const char *label, const char *text, int result);
/* The label and the path made full from the current directory. */
void trace_full_path(const char *label, const char *path);
void trace_number(const char *label, unsigned number);
/* "set NAME=VALUE", or "remove NAME" for a null value. */
void trace_variable(const WCHAR *name, const WCHAR *value);
/* The label and each entry of a list joined by ";", a line each. */
void trace_entries(const char *label, const WCHAR *entries);

#endif
