/* Host builds run under the test harness, which observes faults itself. */
#include "runtime/fault.h"

void run_guarded(void (*body)(void))
{
    body();
}
