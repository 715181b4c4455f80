/*
 * launcher.exe: hands the console over and ends with 0 at once.  A message
 * with no standard error to go to is lost, as it would be for any console
 * program.
 */
#include "builds/build.h"
#include "runtime/exit.h"

DWORD get_start_flags(void)
{
    return 0;
}

int finish_start(PROCESS_INFORMATION *)
{
    exit_quickly(0);
}

int keep_unwritten_message(const char *, unsigned)
{
    return 0;
}

void show_unwritten_messages(void)
{
}
