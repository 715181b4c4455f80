/*
 * Named launchers: a copy of the exe under an application's name, NAME.exe,
 * reads NAME.shim beside it.
 *
 * The file is UTF-8 text, with or without a byte-order mark, its lines
 * ended by LF or CR LF.  A line is blank, a comment (its first non-blank
 * character "#"), or "key = value".  Blanks and tabs around the key and the
 * value are dropped.  Keys are case-insensitive: path (required, once), args
 * and directory (once each), lib and env (any number of times, in order).
 * Anything else is a mistake, reported with its line: a typo must never run
 * something else.
 *
 * Quotes: args is verbatim.  Every other value (for env, the part after
 * "NAME=") loses one pair of double quotes when it starts and ends with one
 * and holds no other; any other quote is a mistake, since no file name can
 * hold one and a quote taken off in the middle would change what runs.
 *
 * Data model: the file is read whole, proved UTF-8 and converted once to
 * the ANSI code page (UTF-8 itself where the embedded manifest takes
 * effect) without best fit; its byte-order mark goes in that step.  A
 * shim_text is a span of that text, not terminated, with the number of the
 * line it stands on (0: not given).  The settings are kept in file order,
 * since an env line changes what the lines after it refer to.  The
 * characters that shape the file ("=", "#", "%", quotes, blanks, line ends)
 * are all below 0x40, which no second byte of a double-byte character is,
 * so the text is taken apart byte by byte.
 */
#ifndef SHIM_SHIM_H
#define SHIM_SHIM_H

#include "platform/kernel32.h"

/* A setting takes more than four bytes of the file ("lib=x" being the
   shortest), so no file within the limit holds more than a quarter of its
   size.  A variable holds at most 32767 characters with its terminator. */
enum {
    SHIM_FILE_LIMIT = 65536,
    SHIM_SETTING_LIMIT = SHIM_FILE_LIMIT / 4,
    VARIABLE_LIMIT = 32767
};

struct shim_text {
    const char *text;
    unsigned length;
    unsigned line;
};

/* The keys; those below SHIM_LIB may be given once. */
enum { SHIM_PATH, SHIM_ARGS, SHIM_DIRECTORY, SHIM_LIB, SHIM_ENV, SHIM_KEY_COUNT };

struct shim_setting {
    int key;
    shim_text line;  /* the line as it stands, without its blanks */
    shim_text name;  /* env: the variable's name */
    shim_text value; /* without its quotes; once resolved, the text that is
                        used, terminated */
};

struct shim_settings {
    shim_setting *once[SHIM_LIB]; /* path, args, directory; null: not given */
    unsigned count;
    shim_text mistake; /* the line that is wrong; line 0: the file as a whole */
    shim_setting settings[SHIM_SETTING_LIMIT];
};

enum {
    SHIM_FINE,
    SHIM_NO_EQUALS,
    SHIM_UNKNOWN_KEY,
    SHIM_REPEATED_KEY,
    SHIM_NO_VALUE,
    SHIM_NO_PATH,
    SHIM_NOT_TEXT,
    SHIM_NO_MEMORY,
    SHIM_QUOTE,
    SHIM_NOT_VARIABLE,
    SHIM_CURRENT_DRIVE,
    SHIM_TOO_LONG,
    SHIM_ITSELF,
    SHIM_CHAIN,
    SHIM_MISTAKE_COUNT
};

/* The longest chain of named launchers, each the command of the one before
   (counted in a variable each passes on to its command). */
enum { SHIM_CHAIN_LIMIT = 32 };

/* What the mistake reads as in a message. */
const char *get_shim_mistake_text(int mistake);
/* Takes the file's text apart; SHIM_FINE, or the first mistake. */
int parse_shim(const char *text, unsigned length, shim_settings *settings);
/*
 * Every value made ready for use, in file order: "%~dp0" becomes the
 * folder (with its "\"), and in every value but args "%NAME%" becomes the
 * variable's value and "%%" one "%"; an env line sets or removes its
 * variable at once, so the lines after it see it.  A path, directory or
 * lib that would depend on the current directory is a mistake.  SHIM_FINE,
 * or the first mistake with its line.
 */
int resolve_shim(shim_settings *settings, const char *folder);
/* The file's bytes, read whole into a buffer of SHIM_FILE_LIMIT + 1 bytes;
   0, or -1 with the error number set (a file over the limit is too
   large). */
int read_shim_file(const WCHAR *name, char *bytes, unsigned *size);

/* The named launcher's own file, known by its volume and index however it
   is named: remembered once from the exe's path, then compared with each
   candidate, since a copy never starts itself. */
void remember_own_file(const WCHAR *path);
int is_own_file(const WCHAR *path);
/* Counts this launcher into the chain of named launchers that its command
   inherits; SHIM_FINE, or SHIM_CHAIN when the chain is at its limit. */
int join_chain(void);

#endif
