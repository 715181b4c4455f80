/*
 * launcherw.exe: the launcher for the Windows subsystem, so that a shortcut
 * opens no console window.  A windowless launcher must never fail silently:
 * started from a shortcut it usually has no standard error, and one it was
 * given may refuse the message (a read-only file, a closed handle).  So
 * every message is kept whole as it is meant while it is written, and when
 * it did not reach standard error whole it is shown as the process ends,
 * with the same exit code: in a message box where a user can see one, else
 * (a service, a scheduled task that runs whether or not a user is logged
 * on) in the debugger output and the Application event log
 * (runtime/kept_message.h).  Started from a shortcut, it passes the
 * shortcut's window state ("Run: Minimized") on to the command, whose
 * window it is.
 */
#include "builds/build.h"
#include "runtime/exit.h"
#include "runtime/kept_message.h"

/* A Windows program has no console to ask for. */
int prepare_console(void)
{
    return 0;
}

DWORD prepare_start(STARTUPINFOA *startup)
{
    copy_window_state(startup);
    return 0;
}

/* Without a console of its own there is none to let go. */
void finish_start(PROCESS_INFORMATION *, int)
{
    exit_quickly(0);
}

int keep_message(const char *text, unsigned count, int missing)
{
    return keep_message_piece(text, count, missing);
}

void lose_message(void)
{
    mark_message_lost();
}

void show_unwritten_messages(void)
{
    show_lost_message(1);
}

void reset_build_state(void)
{
    reset_kept_message();
}
