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

#elif defined(_WIN32)

/*
 * x64 and ARM64 keep no handler records on the stack: the system finds a
 * frame's handler through unwind tables, which this freestanding build does
 * not write.  A vectored handler, registered for the whole process, answers
 * instead, and stays for the life of the body, which ends the process.
 *
 * Unlike a frame handler it runs before any frame's own handler, so it also
 * sees exceptions that code below it would handle.  The launcher's code
 * raises and handles none, but a system DLL may, inside a call the launcher
 * makes (the message box's libraries, say): only a fault whose address lies
 * in this exe is answered here.  Any other goes on to the frames and, if
 * none handles it, to the system's last handler, which ends the process
 * with the fault's code too.
 */
extern "C" IMAGE_DOS_HEADER __ImageBase;

static bool is_in_this_exe(const void *address)
{
    const BYTE *base = (const BYTE *)&__ImageBase;
    const IMAGE_NT_HEADERS *headers = (const IMAGE_NT_HEADERS *)(base + __ImageBase.e_lfanew);
    const BYTE *at = (const BYTE *)address;
    return at >= base && at < base + headers->OptionalHeader.SizeOfImage;
}

static LONG WINAPI handle_fault_vector(EXCEPTION_POINTERS *pointers)
{
    EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    if (!is_in_this_exe(record->ExceptionAddress))
        return EXCEPTION_CONTINUE_SEARCH;
    return answer_fault(record, pointers->ContextRecord) == CONTINUE_EXECUTION
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

void run_guarded(void (*body)(void))
{
    AddVectoredExceptionHandler(1, handle_fault_vector);
    body();
}

#else

/* Host builds run under the test harness, which observes faults itself. */
void run_guarded(void (*body)(void))
{
    body();
}

#endif
