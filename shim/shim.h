/*
 * Named launchers: a copy of the exe under an application's name, NAME.exe,
 * reads NAME.shim beside it.
 *
 * The file is UTF-8 text, with or without a byte-order mark, its lines
 * ended by LF, CR LF or CR.  A line is blank, a comment (its first non-blank
 * character "#"), or "key = value".  Blanks and tabs around the key and the
 * value are dropped.  Keys are case-insensitive: path (required, once), args
 * and directory (once each), lib and env (any number of times, in order).
 * Anything else is a mistake, reported with its line: a typo must never run
 * something else.
 *
 * A lib holds no ";", whether the file wrote it or a variable brought it:
 * appended to PATH it would make two entries, or an empty one, which
 * stands for a folder of the current drive.
 *
 * The quote rule, stated here for the code and in "The file" of
 * docs/named-launchers.md for users: args is verbatim.  Every other value
 * (for env, the part after "NAME=") loses one pair of double quotes when it
 * starts and ends with one and holds no other; any other quote is a
 * mistake, since no file name can hold one and a quote taken off in the
 * middle would change what runs.  The quotes are judged once the
 * references are replaced: a path, directory or lib holds none, whatever
 * brought it, while an env value passes a variable's quotes on (a quoted
 * entry of PATH, say) and holds none of the file's own.
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
#include "runtime/limits.h"

/* A setting takes more than four bytes of the file ("lib=x" being the
   shortest), so no file within the limit holds more than a quarter of its
   size. */
enum { SHIM_SETTING_LIMIT = SHIM_FILE_LIMIT / 4 };

struct shim_text {
    const char *text;
    unsigned length;
    unsigned line;
};

/* What a key's value is and how it is taken. */
enum {
    KEY_ONCE = 0x01,        /* may be given once; any other, any number of times */
    KEY_PLACE = 0x02,       /* names a place: must not depend on a current directory */
    KEY_UNQUOTED = 0x04,    /* loses one pair of quotes around it */
    KEY_VARIABLES = 0x08,   /* "%NAME%" is replaced; "%~dp0" always is */
    KEY_MAY_BE_EMPTY = 0x10,
    KEY_SETS_VARIABLE = 0x20, /* "NAME=VALUE": the variable is set in file order */
    KEY_PATH_ENTRY = 0x40     /* becomes one entry of PATH: holds no ";" */
};

/* The keys with their names, as the file spells them, and properties. */
#define SHIM_KEYS(X)                                                                           \
    X(SHIM_PATH, "path", KEY_ONCE | KEY_PLACE | KEY_UNQUOTED | KEY_VARIABLES)                  \
    X(SHIM_ARGS, "args", KEY_ONCE | KEY_MAY_BE_EMPTY)                                          \
    X(SHIM_DIRECTORY, "directory", KEY_ONCE | KEY_PLACE | KEY_UNQUOTED | KEY_VARIABLES)        \
    X(SHIM_LIB, "lib", KEY_PLACE | KEY_UNQUOTED | KEY_VARIABLES | KEY_PATH_ENTRY)              \
    X(SHIM_ENV, "env", KEY_SETS_VARIABLE | KEY_UNQUOTED | KEY_VARIABLES | KEY_MAY_BE_EMPTY)

#define SHIM_KEY_NAME(name, text, properties) name,
enum { SHIM_KEYS(SHIM_KEY_NAME) SHIM_KEY_COUNT };
#undef SHIM_KEY_NAME

#define SHIM_KEY_PROPERTIES(name, text, properties) properties,
inline constexpr unsigned char shim_key_properties[] = {SHIM_KEYS(SHIM_KEY_PROPERTIES)};
#undef SHIM_KEY_PROPERTIES

static inline int has_key_property(int key, unsigned property)
{
    return (shim_key_properties[key] & property) != 0;
}

struct shim_setting {
    int key;
    shim_text line;  /* the line as it stands, without its blanks */
    shim_text name;  /* env: the variable's name */
    shim_text value; /* without its quotes; once resolved, the text that is
                        used, terminated */
};

struct shim_settings {
    /* By key, for the keys given once: null when not given, and always
       for the others. */
    shim_setting *once[SHIM_KEY_COUNT];
    unsigned count;
    shim_text mistake; /* the line that is wrong; line 0: the file as a whole */
    shim_setting settings[SHIM_SETTING_LIMIT];
};

/* The mistakes a file can hold, with what each reads as in a message. */
#define SHIM_MISTAKES(X)                                                        \
    X(SHIM_FINE, "")                                                            \
    X(SHIM_NO_EQUALS, "a line without \"=\"")                                   \
    X(SHIM_UNKNOWN_KEY, "unknown key")                                          \
    X(SHIM_REPEATED_KEY, "key given twice")                                     \
    X(SHIM_NO_VALUE, "no value")                                                \
    X(SHIM_NO_PATH, "no path")                                                  \
    X(SHIM_NOT_TEXT, "not UTF-8 text")                                          \
    X(SHIM_NO_MEMORY, "Not enough space")                                       \
    X(SHIM_QUOTE, "a quote inside the value")                                   \
    X(SHIM_REFERENCE_QUOTE, "a quote inside the value once references are replaced") \
    X(SHIM_NOT_VARIABLE, "not NAME=VALUE")                                      \
    X(SHIM_CURRENT_DRIVE, "depends on the current directory")                   \
    X(SHIM_TOO_LONG, "variable too long, maximum size supported is 32767 characters") \
    X(SHIM_ITSELF, "path leads to this launcher")                               \
    X(SHIM_CHAIN, "more than 32 named launchers in a chain")                   \
    X(SHIM_SEPARATOR, "a \";\" inside the directory")

#define SHIM_MISTAKE_NAME(name, text) name,
enum { SHIM_MISTAKES(SHIM_MISTAKE_NAME) SHIM_MISTAKE_COUNT };
#undef SHIM_MISTAKE_NAME

/* What the mistake reads as in a message. */
const char *get_shim_mistake_text(int mistake);
/* The key as the file spells it, in lower case. */
const char *get_shim_key_name(int key);
/* Takes the file's text apart; SHIM_FINE, or the first mistake. */
int parse_shim(const char *text, unsigned length, shim_settings *settings);
/*
 * Every value made ready for use, in file order: "%~dp0" becomes the
 * folder (with its "\"), and in every value but args "%NAME%" becomes the
 * variable's value and "%%" one "%"; an env line sets or removes its
 * variable at once, so the lines after it see it.  A value the quote rule
 * above refuses, and a path, directory or lib that would depend on the
 * current directory, is a mistake.  SHIM_FINE, or the first mistake with
 * its line.
 */
int resolve_shim(shim_settings *settings, const char *folder);
/* The file's wide path, beside the exe, and in ANSI the exe's folder with
   its "\\" and the file's name (null where either could not be made);
   null with the error number set when the platform gives no exe path that
   fits, or either name could not be made.  The exe's path is remembered
   as the launcher's own file. */
const WCHAR *name_shim_file(char **start_directory, char **file_name);
/* A new ANSI copy of length units (-1: up to the terminator), converted
   without best fit, and its size; null without memory or when the
   conversion fails. */
char *narrow_text(const WCHAR *text, int length, int *size);
/* The file's bytes, read whole into a buffer of SHIM_FILE_LIMIT + 1 bytes;
   0, or -1 with the error number set (a file over the limit is too
   large). */
int read_shim_file(const WCHAR *name, char *bytes, unsigned *size);
/* The file's bytes as text: proved UTF-8, its byte-order mark dropped,
   converted.  SHIM_FINE with a new text and its size, SHIM_NOT_TEXT or
   SHIM_NO_MEMORY. */
int decode_shim_file(const char *bytes, unsigned size, char **text, int *text_size);

/* A file as the platform knows it: its volume and index, the same for
   every name it has, and its size, which tells most files apart without
   opening the other. */
struct file_identity {
    DWORD volume, index_high, index_low;
    DWORD size_high, size_low;
};

/* The identity of a file already open; 0 when it cannot be had. */
int identify_opened_file(HANDLE file, file_identity *identity);
int is_same_file(const file_identity *a, const file_identity *b);
/* The named launcher's own file: remembered once from the exe's path (in
   the buffer of runtime/own_path.h, which keeps it), then compared with
   each candidate, since a copy never starts itself.  Its identity is had
   by opening it, once, the first time it is asked for; 0 when it cannot
   be had. */
void remember_own_file(const WCHAR *path);
int is_own_file(const file_identity *candidate);
int find_own_identity(file_identity *identity);
/* Whether a program has a named launcher's file beside it, as a copy
   NAME.exe has NAME.shim: the sign that it is a named launcher. */
int has_shim_file(const char *program);
/* Reads the chain of named launchers that led to this one; SHIM_FINE, or
   SHIM_CHAIN when the chain is at its limit. */
int join_chain(void);
/* A launcher that started this one, directly or through others of the
   chain, for a bare search to pass over. */
int is_in_chain(const file_identity *candidate);
/* Counts this launcher into the chain the command inherits, once the
   command is taken and its header read: the file started, identified
   through the handle that read it, and for a command that is a named
   launcher this launcher's own identity. */
void pass_chain_on(const char *file, HANDLE command);

#endif
