/* The ways the process ends. */
#ifndef RUNTIME_EXIT_H
#define RUNTIME_EXIT_H

/*
 * The start-up failures: each with its code, which follows "runtime error "
 * in its message, and the description on the line after it.  The code is
 * "R60" and the run-time error number in two digits, so the number is read
 * from it.
 */
#define RUNTIME_ERRORS                                                                  \
    RUNTIME_ERROR(RUNTIME_ERROR_ARGUMENTS, "R6008", "not enough space for arguments")   \
    RUNTIME_ERROR(RUNTIME_ERROR_ENVIRONMENT, "R6009", "not enough space for environment") \
    RUNTIME_ERROR(RUNTIME_ERROR_STDIO, "R6026", "not enough space for stdio initialization") \
    RUNTIME_ERROR(RUNTIME_ERROR_LOWIO, "R6027", "not enough space for lowio initialization") \
    RUNTIME_ERROR(RUNTIME_ERROR_HEAP, "R6028", "unable to initialize heap")

constexpr int read_runtime_error_number(const char (&code)[6])
{
    return (code[3] - '0') * 10 + (code[4] - '0');
}

#define RUNTIME_ERROR(name, code, description) name = read_runtime_error_number(code),
enum { RUNTIME_ERRORS };
#undef RUNTIME_ERROR

/* Set just before ExitProcess: an exit that starts again after it (a fault
   while the process ends) must not run the exit path a second time. */
extern int exit_reached;

/* Flushes every stream in use, then ends the process with the status. */
[[noreturn]] void exit_normally(int status);
/* Ends the process with the status and writes nothing still buffered. */
[[noreturn]] void exit_quickly(int status);
/* Writes the run-time error message on standard error and ends with 255. */
[[noreturn]] void fail_with_runtime_error(int number);

#endif
