/*
 * The argument vector: argument_count entries and a null one, entry 0 the
 * program name, all in one allocation with the strings right after the
 * entries.
 */
#ifndef RUNTIME_ARGUMENTS_H
#define RUNTIME_ARGUMENTS_H

#include <stddef.h>

extern int argument_count;
extern char **argument_vector;

struct split_result {
    size_t entry_count; /* arguments plus the null entry */
    size_t byte_count;  /* the arguments' bytes with one terminator each */
};

/* Splits a command line.  With null places it only counts; given places
   sized by the counting pass, it fills them by exactly the same rules. */
split_result parse_command_line(const char *text, char **entries, char *strings);
/* What follows the program name on a command line, as it stands: the name
   ends at the first blank outside quotes, every quote toggling, and the
   blanks after it are passed over; every quote, blank and backslash after
   that is kept. */
const char *find_argument_tail(const char *command_line);
/* The process command line in the ANSI code page, a new allocation; null
   when the platform gives none or it cannot be converted. */
char *read_command_line(void);
/* Splits the process command line, or the module path when it is empty. */
void build_argument_vector(const char *command_line);

#endif
