/*
 * launcher-wait.exe: for scripts, build systems and terminals.  It waits for
 * the command and ends with the command's exit code, all 32 bits of it.
 *
 * - Ctrl+C and Ctrl+Break reach the command through the shared console, as
 *   if it had been started directly.  The launcher ignores them with a
 *   handler of its own, which the command does not inherit; ignoring them
 *   outright would be inherited and leave the command deaf to them.
 * - The command runs in a job that kills everything in it when its last
 *   handle closes: if the launcher is ended (terminated, its console
 *   closed), the command and whatever it started end with it.  The command
 *   is started suspended and joins the job before it runs any code, so no
 *   process of its escapes.  Children that ask to break away may.
 * - When the command ends by itself, the kill is lifted before the launcher
 *   ends, so what the command left running on purpose keeps running.
 * - Where no job can be made or joined (an outer job forbids it, say), the
 *   command still runs and is waited for.
 * - Only the process handle is kept while waiting.
 */
#include "builds/build.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/exit.h"

static BOOL WINAPI ignore_interrupt(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

DWORD get_start_flags(void)
{
    return CREATE_SUSPENDED;
}

static BOOL set_job_limits(HANDLE job, DWORD limits)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION information;
    fill_bytes(&information, 0, sizeof information);
    information.BasicLimitInformation.LimitFlags = limits;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &information,
                                   sizeof information);
}

/* A job that ends the command with the launcher, or null when there can be
   none; the command then runs without one. */
static HANDLE join_job(HANDLE process)
{
    HANDLE job = CreateJobObjectA(0, 0);
    if (!job)
        return 0;
    if (set_job_limits(job, JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK) &&
        AssignProcessToJobObject(job, process))
        return job;
    CloseHandle(job);
    return 0;
}

/* A command that never ran is taken down again, and its start counts as
   failed. */
static int abandon_start(PROCESS_INFORMATION *process, HANDLE job)
{
    DWORD error = GetLastError();
    TerminateProcess(process->hProcess, error);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    if (job)
        CloseHandle(job);
    map_os_error(error);
    return -1;
}

int finish_start(PROCESS_INFORMATION *process)
{
    HANDLE job = join_job(process->hProcess);
    SetConsoleCtrlHandler(ignore_interrupt, TRUE);
    if (ResumeThread(process->hThread) == (DWORD)-1)
        return abandon_start(process, job);
    CloseHandle(process->hThread);

    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process->hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process->hProcess, &code))
        code = (DWORD)-1;
    if (job)
        set_job_limits(job, JOB_OBJECT_LIMIT_BREAKAWAY_OK);
    exit_quickly((int)code);
}

/* A console program: a message with no standard error to go to is lost, as
   with launcher.exe. */
int keep_unwritten_message(const char *, unsigned)
{
    return 0;
}

void show_unwritten_messages(void)
{
}
