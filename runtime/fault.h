/* The road of a fault that nothing else handles. */
#ifndef RUNTIME_FAULT_H
#define RUNTIME_FAULT_H

#include "platform/kernel32.h"

/* Asks the platform's unhandled-exception filter what to do.  When the filter
   says the handler is to run, the process ends with the fault's code;
   otherwise the filter's answer goes back as the frame handler's
   disposition: 0 to resume execution, 1 to search on. */
int answer_fault(EXCEPTION_RECORD *record, CONTEXT *context);

/* Runs the body with a handler for its faults (a frame on x86, a vectored
   handler on x64 and ARM64); the body never returns. */
void run_guarded(void (*body)(void));

#endif
