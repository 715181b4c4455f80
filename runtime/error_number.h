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
 * The error numbers, one row each: the number, its name and its text, in
 * any order.  A number without a row (15, 26, 35 and 37 among them, and
 * every number past the last) reads "Unknown error".
 */
#define ERROR_NUMBERS                                                           \
    ERROR_ROW(0, NO_ERROR_NUMBER, "No error")                                   \
    ERROR_ROW(1, NOT_PERMITTED, "Operation not permitted")                      \
    ERROR_ROW(2, NO_SUCH_FILE, "No such file or directory")                     \
    ERROR_ROW(3, NO_SUCH_PROCESS, "No such process")                            \
    ERROR_ROW(4, INTERRUPTED_CALL, "Interrupted function call")                 \
    ERROR_ROW(5, INPUT_OUTPUT_ERROR, "Input/output error")                      \
    ERROR_ROW(6, NO_SUCH_DEVICE_OR_ADDRESS, "No such device or address")        \
    ERROR_ROW(7, ARG_LIST_TOO_LONG, "Arg list too long")                        \
    ERROR_ROW(8, EXEC_FORMAT_ERROR, "Exec format error")                        \
    ERROR_ROW(9, BAD_FILE_DESCRIPTOR, "Bad file descriptor")                    \
    ERROR_ROW(10, NO_CHILD_PROCESSES, "No child processes")                     \
    ERROR_ROW(11, RESOURCE_UNAVAILABLE, "Resource temporarily unavailable")     \
    ERROR_ROW(12, NOT_ENOUGH_SPACE, "Not enough space")                         \
    ERROR_ROW(13, PERMISSION_DENIED, "Permission denied")                       \
    ERROR_ROW(14, BAD_ADDRESS, "Bad address")                                   \
    ERROR_ROW(16, RESOURCE_BUSY, "Resource device")                             \
    ERROR_ROW(17, FILE_ALREADY_EXISTS, "File exists")                           \
    ERROR_ROW(18, IMPROPER_LINK, "Improper link")                               \
    ERROR_ROW(19, NO_SUCH_DEVICE, "No such device")                             \
    ERROR_ROW(20, NOT_A_DIRECTORY, "Not a directory")                           \
    ERROR_ROW(21, IS_A_DIRECTORY, "Is a directory")                             \
    ERROR_ROW(22, INVALID_ARGUMENT, "Invalid argument")                         \
    ERROR_ROW(23, TOO_MANY_FILES_IN_SYSTEM, "Too many open files in system")    \
    ERROR_ROW(24, TOO_MANY_OPEN_FILES, "Too many open files")                   \
    ERROR_ROW(25, INAPPROPRIATE_CONTROL, "Inappropriate I/O control operation") \
    ERROR_ROW(27, FILE_TOO_LARGE, "File too large")                             \
    ERROR_ROW(28, NO_SPACE_ON_DEVICE, "No space left on device")                \
    ERROR_ROW(29, INVALID_SEEK, "Invalid seek")                                 \
    ERROR_ROW(30, READ_ONLY_FILE_SYSTEM, "Read-only file system")               \
    ERROR_ROW(31, TOO_MANY_LINKS, "Too many links")                             \
    ERROR_ROW(32, BROKEN_PIPE, "Broken pipe")                                   \
    ERROR_ROW(33, DOMAIN_ERROR, "Domain error")                                 \
    ERROR_ROW(34, RESULT_TOO_LARGE, "Result too large")                         \
    ERROR_ROW(36, DEADLOCK_AVOIDED, "Resource deadlock avoided")                \
    ERROR_ROW(38, FILENAME_TOO_LONG, "Filename too long")                       \
    ERROR_ROW(39, NO_LOCKS_AVAILABLE, "No locks available")                     \
    ERROR_ROW(40, FUNCTION_NOT_IMPLEMENTED, "Function not implemented")         \
    ERROR_ROW(41, DIRECTORY_NOT_EMPTY, "Directory not empty")                   \
    ERROR_ROW(42, ILLEGAL_BYTE_SEQUENCE, "Illegal byte sequence")

#define ERROR_ROW(number, name, text) name = number,
enum { ERROR_NUMBERS };
#undef ERROR_ROW

extern int error_number;
extern DWORD os_error_code;

void set_error(int number, DWORD os_code);
void map_os_error(DWORD os_code);
/* Maps the platform's last error and returns -1: the end of every failed
   call that reports nothing but its reason. */
int fail_with_last_error(void);
/* The text of an error number; a number without a row reads "Unknown
   error". */
const char *get_error_text(int number);

#endif
