/*
 * The error number: the reason of the last failure, set by failing
 * operations and never cleared by successful ones, and beside it the OS error
 * code it was mapped from (or the value set with it directly).  Their texts
 * are the error text table; report_error prints them.
 */
#ifndef RUNTIME_ERROR_NUMBER_H
#define RUNTIME_ERROR_NUMBER_H

#include "platform/kernel32.h"

enum {
    NO_ERROR_NUMBER = 0,
    NO_SUCH_FILE = 2,
    ARG_LIST_TOO_LONG = 7,
    EXEC_FORMAT_ERROR = 8,
    BAD_FILE_DESCRIPTOR = 9,
    NOT_ENOUGH_SPACE = 12,
    PERMISSION_DENIED = 13,
    INVALID_ARGUMENT = 22,
    FILE_TOO_LARGE = 27,
    NO_SPACE_ON_DEVICE = 28,
    ERROR_TEXT_COUNT = 43
};

extern int error_number;
extern DWORD os_error_code;

void set_error(int number, DWORD os_code);
void map_os_error(DWORD os_code);
/* The text of an error number; every number outside the table reads
   "Unknown error". */
const char *get_error_text(int number);

#endif
