/* The ways the process ends. */
#ifndef RUNTIME_EXIT_H
#define RUNTIME_EXIT_H

/*
 * The start-up failures: each with its run-time error number and the code
 * and description that follow "runtime error " in its message.
 */
#define RUNTIME_ERRORS(X)                                                             \
    X(RUNTIME_ERROR_ARGUMENTS, 8, "R6008", "not enough space for arguments")          \
    X(RUNTIME_ERROR_ENVIRONMENT, 9, "R6009", "not enough space for environment")      \
    X(RUNTIME_ERROR_STDIO, 26, "R6026", "not enough space for stdio initialization")  \
    X(RUNTIME_ERROR_LOWIO, 27, "R6027", "not enough space for lowio initialization")  \
    X(RUNTIME_ERROR_HEAP, 28, "R6028", "unable to initialize heap")

#define RUNTIME_ERROR_NAME(name, number, code, description) name = number,
enum { RUNTIME_ERRORS(RUNTIME_ERROR_NAME) };
#undef RUNTIME_ERROR_NAME

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
