/* The error texts, indexed by error number; the last serves every number
   outside the table.  An empty text is a number without a text of its own:
   it reads "Unknown error", kept once. */
#include "runtime/error_number.h"
#include "runtime/bytes.h"

static constexpr char error_texts[] =
    "No error\0"
    "Operation not permitted\0"
    "No such file or directory\0"
    "No such process\0"
    "Interrupted function call\0"
    "Input/output error\0"
    "No such device or address\0"
    "Arg list too long\0"
    "Exec format error\0"
    "Bad file descriptor\0"
    "No child processes\0"
    "Resource temporarily unavailable\0"
    "Not enough space\0"
    "Permission denied\0"
    "Bad address\0"
    "\0"
    "Resource device\0"
    "File exists\0"
    "Improper link\0"
    "No such device\0"
    "Not a directory\0"
    "Is a directory\0"
    "Invalid argument\0"
    "Too many open files in system\0"
    "Too many open files\0"
    "Inappropriate I/O control operation\0"
    "\0"
    "File too large\0"
    "No space left on device\0"
    "Invalid seek\0"
    "Read-only file system\0"
    "Too many links\0"
    "Broken pipe\0"
    "Domain error\0"
    "Result too large\0"
    "\0"
    "Resource deadlock avoided\0"
    "\0"
    "Filename too long\0"
    "No locks available\0"
    "Function not implemented\0"
    "Directory not empty\0"
    "Illegal byte sequence\0"
    "";

static const char unknown_error[] = "Unknown error";

static_assert(count_texts(error_texts, sizeof error_texts) == ERROR_TEXT_COUNT + 1,
              "one text per error number, and the text for the others");

const char *get_error_text(int number)
{
    if (number < 0 || number >= ERROR_TEXT_COUNT)
        number = ERROR_TEXT_COUNT;
    const char *text = find_text(error_texts, number);
    return *text ? text : unknown_error;
}
