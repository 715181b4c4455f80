/* The ways the process ends. */
#ifndef RUNTIME_EXIT_H
#define RUNTIME_EXIT_H

enum {
    RUNTIME_ERROR_ARGUMENTS = 8,
    RUNTIME_ERROR_ENVIRONMENT = 9,
    RUNTIME_ERROR_STDIO = 26,
    RUNTIME_ERROR_LOWIO = 27,
    RUNTIME_ERROR_HEAP = 28
};

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
