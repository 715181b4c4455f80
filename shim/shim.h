/*
 * Named launchers: a copy of the exe under an application's name, NAME.exe,
 * reads NAME.shim beside it.
 *
 * The file is UTF-8 text, with or without a byte-order mark, its lines
 * ended by LF or CR LF.  A line is blank, a comment (its first non-blank
 * character "#"), or "key = value".  Blanks and tabs around the key and the
 * value are dropped, and a value wholly in double quotes loses them.  Keys
 * are case-insensitive: path (required, once), args and directory (once
 * each), lib (any number of times, in order).  Anything else is a mistake,
 * reported with its line: a typo must never run something else.
 *
 * Data model: the file is read whole, proved UTF-8 and converted once to
 * the ANSI code page (UTF-8 itself where the embedded manifest takes
 * effect) without best fit; its byte-order mark goes in that step.  A
 * shim_text is a span of that text, not terminated, with the number of the
 * line it stands on (0: not given); the settings hold one span per key and
 * the libs in file order.  The characters that shape the file ("=", "#",
 * quotes, blanks, line ends) are all below 0x40, which no second byte of a
 * double-byte character is, so the text is taken apart byte by byte.
 */
#ifndef SHIM_SHIM_H
#define SHIM_SHIM_H

#include "platform/kernel32.h"

/* A lib line takes at least four characters ("lib=x" without its line
   end being the shortest), so no file within the limit holds more. */
enum { SHIM_FILE_LIMIT = 65536, SHIM_LIBRARY_LIMIT = SHIM_FILE_LIMIT / 4 };

struct shim_text {
    const char *text;
    unsigned length;
    unsigned line;
};

/* The keys, in the order of their values in the settings. */
enum { SHIM_PATH, SHIM_ARGS, SHIM_DIRECTORY, SHIM_LIB, SHIM_KEY_COUNT };

struct shim_settings {
    shim_text values[SHIM_LIB]; /* path, args, directory */
    unsigned library_count;
    shim_text mistake; /* the line that is wrong, without its blanks; line 0:
                          the file as a whole */
    shim_text libraries[SHIM_LIBRARY_LIMIT];
};

enum {
    SHIM_FINE,
    SHIM_NO_EQUALS,
    SHIM_UNKNOWN_KEY,
    SHIM_REPEATED_KEY,
    SHIM_NO_VALUE,
    SHIM_NO_PATH,
    SHIM_NOT_TEXT,
    SHIM_NO_MEMORY
};

/* What the mistake reads as in a message. */
const char *get_shim_mistake_text(int mistake);
/* Takes the file's text apart; SHIM_FINE, or the first mistake. */
int parse_shim(const char *text, unsigned length, shim_settings *settings);
/* The file's bytes, read whole into a buffer of SHIM_FILE_LIMIT + 1 bytes;
   0, or -1 with the error number set (a file over the limit is too
   large). */
int read_shim_file(const WCHAR *name, char *bytes, unsigned *size);

#endif
