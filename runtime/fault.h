/* The road of a fault that nothing else handles. */
#ifndef RUNTIME_FAULT_H
#define RUNTIME_FAULT_H

#include "platform/kernel32.h"

/* A frame handler's dispositions. */
enum { CONTINUE_EXECUTION = 0, CONTINUE_SEARCH = 1 };

/* Asks the platform's unhandled-exception filter what to do.  When the filter
   says the handler is to run, the process ends with the fault's code;
   otherwise the filter's answer goes back as the frame handler's
   disposition: 0 to resume execution, 1 to search on. */
int answer_fault(EXCEPTION_RECORD *record, CONTEXT *context);

/* Runs the body with a handler for its faults that passes them to
   answer_fault; the body never returns.  How a handler is installed differs
   between architectures, so start-up asks for it here and one file of
   arch/, chosen by cmake/architecture.cmake, answers: a frame on x86
   (fault_frame.cpp), a vectored handler on x64 and ARM64
   (fault_vectored.cpp), none in host builds (fault_unguarded.cpp). */
void run_guarded(void (*body)(void));

#endif
