/*
 * Waiting for the command, for the endings that pass its exit code on
 * (launcher-wait.exe and the named launcher shim.exe):
 *
 * - Ctrl+C and Ctrl+Break reach the command through the shared console, as
 *   if it had been started directly.  The launcher ignores them with a
 *   handler of its own, which the command does not inherit; ignoring them
 *   outright would be inherited and leave the command deaf to them.
 * - The launcher joins a job that kills everything in it when its last
 *   handle, the launcher's, closes, before it creates the command: the
 *   command is born inside the job, so there is no moment at which the
 *   launcher can be ended (terminated, its console closed) and leave the
 *   command behind, and whatever the command starts belongs to the job too.
 *   Children that ask to break away may.
 * - When the command ends by itself, the kill is lifted before the launcher
 *   ends, so what the command left running on purpose keeps running.
 * - Where no job can be made or joined (an outer job forbids it, say), the
 *   command still runs and is waited for.
 * - Only the process handle is kept while waiting.
 * - A GUI program started from a console made for the launcher alone (from
 *   Explorer, a shortcut, a file association) has no use for it: the
 *   console goes, so no empty window stays open while the launcher waits; a
 *   console shared with the caller (a terminal, a script) stays.
 */
#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/exit.h"

static HANDLE job;
static int prepared;

static BOOL WINAPI ignore_interrupt(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

static BOOL set_job_limits(HANDLE target, DWORD limits)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION information;
    fill_bytes(&information, 0, sizeof information);
    information.BasicLimitInformation.LimitFlags = limits;
    return SetInformationJobObject(target, JobObjectExtendedLimitInformation, &information,
                                   sizeof information);
}

/* A job with the launcher in it that ends everything in it with the
   launcher, or null when there can be none. */
static HANDLE join_job(void)
{
    HANDLE made = CreateJobObjectA(0, 0);
    if (!made)
        return 0;
    if (set_job_limits(made, JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK) &&
        AssignProcessToJobObject(made, GetCurrentProcess()))
        return made;
    CloseHandle(made);
    return 0;
}

/* Once, before the first candidate is created: a later candidate of the
   same search is born into the same job. */
void prepare_waiting(void)
{
    if (prepared)
        return;
    prepared = 1;
    job = join_job();
    SetConsoleCtrlHandler(ignore_interrupt, TRUE);
}

/* Only once the start has succeeded: a failed start still has the console
   for its message.  A console with another process on it is the caller's
   as well, and stays. */
static void let_own_console_go(void)
{
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1)
        FreeConsole();
}

void wait_for_command(PROCESS_INFORMATION *process, int console_unused)
{
    if (console_unused)
        let_own_console_go();
    /* A command started through the shell (an elevated one) comes without a
       thread handle. */
    if (process->hThread)
        CloseHandle(process->hThread);
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process->hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process->hProcess, &code))
        code = (DWORD)-1;
    if (job)
        set_job_limits(job, JOB_OBJECT_LIMIT_BREAKAWAY_OK);
    exit_quickly((int)code);
}

void reset_waiting(void)
{
    job = 0;
    prepared = 0;
}
