/*
 * The 32-bit x86 builds.  On 32-bit Windows a frame handler is a record on
 * the stack, linked into the chain that starts at fs:[0].  The record stays
 * linked for the life of the body, which ends the process and never
 * returns.
 */
#include "runtime/fault.h"

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
