/*
 * The floor to compare a waiting launcher with: the least any starter that
 * waits has to do.  One CreateProcessA of the child in the current
 * directory with inherited handles, a wait for it, its exit code, and
 * ExitProcess with that code.  A starter that waits ends only after its
 * child, so its own exit is no longer hidden behind the child's run; this
 * floor pays that as well, and what launcher-wait.exe costs above it is its
 * own work.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

/* Static, so both records start zeroed without a call to clear them. */
static STARTUPINFOA startup;
static PROCESS_INFORMATION process;
static char command_line[] = "do_nothing";

extern "C" void start_wait_floor(void)
{
    startup.cb = sizeof startup;
    if (!CreateProcessA(".\\do_nothing.exe", command_line, 0, 0, TRUE, 0, 0, 0, &startup,
                        &process))
        ExitProcess(1);
    DWORD code = 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    ExitProcess(code);
}
