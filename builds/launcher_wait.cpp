/*
 * launcher-wait.exe: for scripts, build systems and terminals.  It waits for
 * the command and ends with the command's exit code, all 32 bits of it,
 * with Ctrl+C and the job as exec/wait_for_command.cpp describes.  The
 * caller's window state ("Run: Minimized" of a shortcut) is passed on to
 * the command, whose window it is.  Its console is the caller's: the
 * request never lets it go.
 */
#include "builds/build.h"

/* Started as any console program: with the console its caller gave. */
int prepare_console(void)
{
    return 0;
}

/* The job and the handler before the first candidate; the window state
   into every candidate's start-up information. */
DWORD prepare_start(STARTUPINFOA *startup)
{
    prepare_waiting();
    copy_window_state(startup);
    return 0;
}

void finish_start(PROCESS_INFORMATION *process, int console_unused)
{
    wait_for_command(process, console_unused);
}

/* A console program: a message with no standard error to go to is lost, as
   with launcher.exe. */
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
    reset_waiting();
}
