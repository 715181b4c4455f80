/*
 * The 64-bit builds (x64, ARM64) keep no handler records on the stack: the
 * system finds a frame's handler through unwind tables, which this
 * freestanding build does not write.  A vectored handler, registered for
 * the whole process, answers instead, and stays for the life of the body,
 * which ends the process.
 *
 * Unlike a frame handler it runs before any frame's own handler, so it also
 * sees exceptions that code below it would handle.  The launcher's code
 * raises and handles none, but a system DLL may, inside a call the launcher
 * makes (the message box's libraries, say): only a fault whose address lies
 * in this exe is answered here.  Any other goes on to the frames and, if
 * none handles it, to the system's last handler, which ends the process
 * with the fault's code too.
 */
#include "runtime/fault.h"

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
