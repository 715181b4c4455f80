/*
 * A chain of named launchers that leads back into itself (a copy whose
 * path names another copy, which names the first) ends after a bounded
 * number of steps instead of filling the machine with processes.  Every
 * named launcher passes a variable on to its command, one character longer
 * each time: the number of named launchers that led to this one.  Its name
 * begins with "=", as the drive variables' do, which the command
 * interpreter's "set" does not list.
 */
#include "shim/shim.h"
#include "runtime/bytes.h"

static constexpr auto chain_name = WIDE("=ShimChain");

int join_chain(void)
{
    WCHAR marks[SHIM_CHAIN_LIMIT + 2];
    DWORD count = GetEnvironmentVariableW(chain_name, marks, SHIM_CHAIN_LIMIT + 1);
    if (count >= SHIM_CHAIN_LIMIT)
        return SHIM_CHAIN;
    marks[count] = '>';
    marks[count + 1] = 0;
    SetEnvironmentVariableW(chain_name, marks);
    return SHIM_FINE;
}
