/* The process entry. */
#ifndef RUNTIME_START_H
#define RUNTIME_START_H

extern "C" [[noreturn]] void run_program(void);

#endif
