/*
 * The floor to compare the launcher with: the least any starter has to do,
 * one CreateProcessA of the child in the current directory with inherited
 * handles, then ExitProcess at once.  No environment change, no directory
 * change, no search, no argument splitting and no runtime start-up: what the
 * launcher costs above this is its own work.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

/* Static, so both records start zeroed without a call to clear them. */
static STARTUPINFOA startup;
static PROCESS_INFORMATION process;
static char command_line[] = "do_nothing";

extern "C" void start_floor(void)
{
    startup.cb = sizeof startup;
    BOOL started = CreateProcessA(".\\do_nothing.exe", command_line, 0, 0, TRUE, 0, 0, 0,
                                  &startup, &process);
    ExitProcess(started ? 0 : 1);
}
