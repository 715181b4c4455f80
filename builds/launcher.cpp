/*
 * launcher.exe: hands the console over and ends with 0 at once.  A message
 * with no standard error to go to is lost, as it would be for any console
 * program.  The command's start-up information stays as this build has
 * always given it: nothing but the handle block.
 */
#include "builds/build.h"
#include "runtime/exit.h"

int prepare_console(void)
{
    return 0;
}

DWORD prepare_start(STARTUPINFOA *)
{
    return 0;
}

void finish_start(PROCESS_INFORMATION *, int)
{
    exit_quickly(0);
}

int keep_message(const char *, unsigned, int)
{
    return 0;
}

void lose_message(void)
{
}

void show_unwritten_messages(void)
{
}

void reset_build_state(void)
{
}
