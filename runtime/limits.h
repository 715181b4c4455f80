/*
 * The limits the launcher works within, each named once, beside its
 * reason, and named by one rule everywhere: a *_SIZE is what a buffer
 * needs, a text's terminator counted; a *_LIMIT is the most a thing may
 * hold (bytes of a file, characters of a string, launchers of a chain),
 * no terminator counted.  The numbers that messages print stay spelled in
 * the messages, since a message is text the user reads, kept byte for
 * byte.
 *
 * A buffer of one of these sizes is static, never on the stack: frames
 * stay below a page, since the freestanding build has no stack probes
 * (cmake/win32.cmake).
 */
#ifndef RUNTIME_LIMITS_H
#define RUNTIME_LIMITS_H

enum {
    /* A path as the platform's ANSI calls take it (MAX_PATH): 259
       characters and the terminator. */
    SHORT_PATH_SIZE = 260,
    /* The longest path the platform has, a "\\?\" one: 32767 UTF-16 units
       and the terminator. */
    LONG_PATH_SIZE = 32768,
    /* A command line the platform starts a program with: 32766 UTF-16
       units and the terminator. */
    COMMAND_LINE_SIZE = 32767,
    /* A variable's value: 32766 characters and the terminator. */
    VARIABLE_SIZE = 32767,
    /* The launcher's PATH buffer and its start directory's, in bytes: the
       sizes launcher.exe has always had, which its messages name. */
    LAUNCHER_PATH_SIZE = 8192,
    LAUNCHER_DIRECTORY_SIZE = 1024,
    /* A named launcher's file: far more than any sensible file holds, and
       small enough to be read whole into a static buffer. */
    SHIM_FILE_LIMIT = 65536,
    /* The longest chain of named launchers, each the command of the one
       before (counted in a variable each passes on to its command). */
    SHIM_CHAIN_LIMIT = 32,
    /* The most characters the event log takes in one string of an event
       (ReportEvent). */
    EVENT_STRING_LIMIT = 31839
};

#endif
