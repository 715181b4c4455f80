#include "runtime/fault.h"
#include "runtime/exit.h"

enum { CONTINUE_EXECUTION = 0, CONTINUE_SEARCH = 1 };

int answer_fault(EXCEPTION_RECORD *record, CONTEXT *context)
{
    /* An unwind passes through every frame; it is not a fault to answer. */
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return CONTINUE_SEARCH;
    EXCEPTION_POINTERS pointers = {record, context};
    LONG answer = UnhandledExceptionFilter(&pointers);
    if (answer == EXCEPTION_EXECUTE_HANDLER)
        exit_quickly((int)record->ExceptionCode);
    return answer == EXCEPTION_CONTINUE_EXECUTION ? CONTINUE_EXECUTION : CONTINUE_SEARCH;
}

#if defined(_WIN32) && defined(__i386__)

/*
 * On 32-bit Windows a frame handler is a record on the stack, linked into
 * the chain that starts at fs:[0].  The record stays linked for the life of
 * the body, which ends the process and never returns.
 */
struct fault_frame {
    fault_frame *next;
    void *handler;
};

extern "C" int __cdecl handle_fault_frame(EXCEPTION_RECORD *record, void *, CONTEXT *context, void *)
{
    return answer_fault(record, context);
}

void run_guarded(void (*body)(void))
{
    fault_frame frame;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(frame.next));
    frame.handler = (void *)handle_fault_frame;
    __asm__ volatile("movl %0, %%fs:0" : : "r"(&frame) : "memory");
    body();
    __asm__ volatile("movl %0, %%fs:0" : : "r"(frame.next) : "memory");
}

#else

/* Host builds run under the test harness, which observes faults itself. */
void run_guarded(void (*body)(void))
{
    body();
}

#endif
