/*
 * The error number: the reason of the last failure, set by failing
 * operations and never cleared by successful ones, and beside it the OS error
 * code it was mapped from (or the value set with it directly).  Their texts
 * are the error text table; report_error prints them.
 */
#ifndef RUNTIME_ERROR_NUMBER_H
#define RUNTIME_ERROR_NUMBER_H

#include "platform/kernel32.h"

/*
 * The error numbers and their texts, one row each, every number from 0 in
 * order: a text is found by its number's position in the text block.  A
 * number without a text of its own (NO_TEXT) reads "Unknown error", as
 * every number past the table does.
 */
#define ERROR_NUMBERS(TEXT, NO_TEXT)                                          \
    TEXT(NO_ERROR_NUMBER, 0, "No error")                                      \
    TEXT(NOT_PERMITTED, 1, "Operation not permitted")                         \
    TEXT(NO_SUCH_FILE, 2, "No such file or directory")                        \
    TEXT(NO_SUCH_PROCESS, 3, "No such process")                               \
    TEXT(INTERRUPTED_CALL, 4, "Interrupted function call")                    \
    TEXT(INPUT_OUTPUT_ERROR, 5, "Input/output error")                         \
    TEXT(NO_SUCH_DEVICE_OR_ADDRESS, 6, "No such device or address")           \
    TEXT(ARG_LIST_TOO_LONG, 7, "Arg list too long")                           \
    TEXT(EXEC_FORMAT_ERROR, 8, "Exec format error")                           \
    TEXT(BAD_FILE_DESCRIPTOR, 9, "Bad file descriptor")                       \
    TEXT(NO_CHILD_PROCESSES, 10, "No child processes")                        \
    TEXT(RESOURCE_UNAVAILABLE, 11, "Resource temporarily unavailable")        \
    TEXT(NOT_ENOUGH_SPACE, 12, "Not enough space")                            \
    TEXT(PERMISSION_DENIED, 13, "Permission denied")                          \
    TEXT(BAD_ADDRESS, 14, "Bad address")                                      \
    NO_TEXT(15)                                                               \
    TEXT(RESOURCE_BUSY, 16, "Resource device")                                \
    TEXT(FILE_ALREADY_EXISTS, 17, "File exists")                              \
    TEXT(IMPROPER_LINK, 18, "Improper link")                                  \
    TEXT(NO_SUCH_DEVICE, 19, "No such device")                                \
    TEXT(NOT_A_DIRECTORY, 20, "Not a directory")                              \
    TEXT(IS_A_DIRECTORY, 21, "Is a directory")                                \
    TEXT(INVALID_ARGUMENT, 22, "Invalid argument")                            \
    TEXT(TOO_MANY_FILES_IN_SYSTEM, 23, "Too many open files in system")       \
    TEXT(TOO_MANY_OPEN_FILES, 24, "Too many open files")                      \
    TEXT(INAPPROPRIATE_CONTROL, 25, "Inappropriate I/O control operation")    \
    NO_TEXT(26)                                                               \
    TEXT(FILE_TOO_LARGE, 27, "File too large")                                \
    TEXT(NO_SPACE_ON_DEVICE, 28, "No space left on device")                   \
    TEXT(INVALID_SEEK, 29, "Invalid seek")                                    \
    TEXT(READ_ONLY_FILE_SYSTEM, 30, "Read-only file system")                  \
    TEXT(TOO_MANY_LINKS, 31, "Too many links")                                \
    TEXT(BROKEN_PIPE, 32, "Broken pipe")                                      \
    TEXT(DOMAIN_ERROR, 33, "Domain error")                                    \
    TEXT(RESULT_TOO_LARGE, 34, "Result too large")                            \
    NO_TEXT(35)                                                               \
    TEXT(DEADLOCK_AVOIDED, 36, "Resource deadlock avoided")                   \
    NO_TEXT(37)                                                               \
    TEXT(FILENAME_TOO_LONG, 38, "Filename too long")                          \
    TEXT(NO_LOCKS_AVAILABLE, 39, "No locks available")                        \
    TEXT(FUNCTION_NOT_IMPLEMENTED, 40, "Function not implemented")            \
    TEXT(DIRECTORY_NOT_EMPTY, 41, "Directory not empty")                      \
    TEXT(ILLEGAL_BYTE_SEQUENCE, 42, "Illegal byte sequence")

#define ERROR_NUMBER_NAME(name, number, text) name = number,
#define ERROR_NUMBER_UNNAMED(number)
#define ERROR_NUMBER_ROW(...) 1 +
enum {
    ERROR_NUMBERS(ERROR_NUMBER_NAME, ERROR_NUMBER_UNNAMED)
    /* Every number from 0 has a row, so the rows count the numbers. */
    ERROR_TEXT_COUNT = ERROR_NUMBERS(ERROR_NUMBER_ROW, ERROR_NUMBER_ROW) 0
};
#undef ERROR_NUMBER_NAME
#undef ERROR_NUMBER_UNNAMED
#undef ERROR_NUMBER_ROW

extern int error_number;
extern DWORD os_error_code;

void set_error(int number, DWORD os_code);
void map_os_error(DWORD os_code);
/* Maps the platform's last error and returns -1: the end of every failed
   call that reports nothing but its reason. */
int fail_with_last_error(void);
/* The text of an error number; every number outside the table reads
   "Unknown error". */
const char *get_error_text(int number);

#endif
