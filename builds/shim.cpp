/*
 * shim.exe: the named launcher that waits for its command and passes its
 * exit code on, for console and GUI commands alike, with Ctrl+C and the job
 * as launcher-wait.exe has them (exec/wait_for_command.cpp).  It never
 * shows a message box: it waits, and a modal box would block whoever waits
 * for it.
 *
 * Its manifest lets Windows 11 24H2 start it without a console (the policy
 * "detached"): started from a terminal it shares the terminal's console as
 * always; from Explorer, a shortcut or a file association it gets none, so
 * a GUI command starts with no console window flashing up.  Without a
 * console at start it first asks for the one its caller meant it to have
 * (AllocConsoleWithOptions): a caller that asked for a new or a hidden
 * console (IDEs and build tools start tools so) gets it as before, and
 * only where none was asked for does it stay without one.  Then a console
 * command gets a console of its own from Windows, and a GUI command just
 * starts.  Before 24H2 the function is missing and a console is made at
 * start, which goes once a GUI command has started.
 *
 * A package manager may copy it with its PE subsystem field set to GUI, for
 * a GUI program: such a copy has no console and shows a failure as
 * shimw.exe does.  The console build, without a console and without a
 * standard error that takes the message (started detached, or with no
 * handles, by a program; from Explorer on 24H2), sends it to the debugger
 * output and the Application event log (runtime/kept_message.h).  With a
 * console, a message that standard error refuses is lost, as for any
 * console program.  The exit code is always the message's.
 */
#include "builds/build.h"
#include "runtime/kept_message.h"
#include "runtime/library.h"

/* The copy's header names the GUI subsystem. */
static int gui_copy;
static int without_console;

static int has_console(void)
{
    DWORD process;
    return GetConsoleProcessList(&process, 1) != 0;
}

/* Looked up at run time: Windows before 11 24H2 lacks it, and there a
   console program has its console from the start. */
static void ask_for_console(void)
{
    allocate_console_function allocate_console = (allocate_console_function)find_function(
        GetModuleHandleA("KERNEL32.dll"), "AllocConsoleWithOptions");
    /* The window state stays the caller's. */
    console_options options = {CONSOLE_MODE_DEFAULT, FALSE, 0};
    int result;
    if (allocate_console)
        allocate_console(&options, &result);
}

int prepare_console(void)
{
    gui_copy = is_own_gui_program();
    if (!gui_copy && !has_console())
        ask_for_console();
    without_console = !has_console();
    return without_console;
}

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

/* Only a launcher without a console keeps its messages. */
int keep_message(const char *text, unsigned count, int missing)
{
    return without_console ? keep_message_piece(text, count, missing) : 0;
}

void lose_message(void)
{
    mark_message_lost();
}

void show_unwritten_messages(void)
{
    show_lost_message(gui_copy);
}

void reset_build_state(void)
{
    reset_waiting();
    reset_kept_message();
    gui_copy = 0;
    without_console = 0;
}
