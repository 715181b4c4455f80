#include "runtime/fault.h"
#include "runtime/exit.h"

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
