/*
 * The process entry, and what start-up asks of the program above the
 * runtime, as a C runtime's start-up asks for main.  The program defines
 * them: the launcher's sequence is its main routine, and the build's source
 * of requests (builds/) says what is taken from the process.
 */
#ifndef RUNTIME_START_H
#define RUNTIME_START_H

extern "C" [[noreturn]] void run_program(void);

/* Asked first once the heap stands: the program may ask here for the
   console its caller meant it to have.  Nonzero when it goes on without a
   console; a standard handle it lacks then goes to the command as a free
   slot of the handle block, so a console command takes that handle from
   the console Windows gives it. */
int prepare_console(void);

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
