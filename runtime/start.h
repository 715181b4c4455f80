/*
 * The process entry, and what start-up asks of the program above the
 * runtime, as a C runtime's start-up asks for main.  The program defines
 * them: the launcher's sequence is its main routine, and the build's source
 * of requests (builds/) says what is taken from the process.
 */
#ifndef RUNTIME_START_H
#define RUNTIME_START_H

extern "C" [[noreturn]] void run_program(void);

/* What start-up takes from the process: the command line split into the
   argument vector and the environment copied into the snapshot, or the
   command line kept whole and PATH alone.  A command line or environment
   the platform does not give ends the process silently with -1. */
void take_process_texts(void);

/* The program's main routine, called once the runtime stands, with the
   argument vector and the environment snapshot (either may be empty); its
   result is the process status. */
int run_main(int count, char **arguments, char **snapshot);

#endif
