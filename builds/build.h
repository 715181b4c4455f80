/*
 * What differs between the shipped builds, and nothing else.  The logic in
 * launcher/, exec/, arch/, runtime/ and shim/ is the same in every build;
 * each build links two files of this folder, chosen in cmake/win32.cmake.
 * The questions are asked below, each in the header of the layer that
 * asks, as a C runtime asks for main: start-up (runtime/start.h) for what
 * is taken from the process, the error stream (runtime/unwritten.h) for
 * what becomes of a message that does not reach standard error whole, and
 * the launcher's sequence (launcher/launcher.h) for the request, the
 * library directories and how a start begins and ends.  Nothing below
 * calls into this folder but through those declarations.
 *
 * Where the start is described (take_process_texts, read_request,
 * read_path, read_library_directories):
 *
 *   from_command_line.cpp  launcher DIRECTORY COMMAND [ARGUMENT ...], with
 *                          the current directory as the start directory
 *   from_shim_file.cpp     NAME.shim beside NAME.exe, the exe's folder the
 *                          start directory: the adapter that maps the
 *                          named launchers' file (shim/) onto the
 *                          request, shim/ deciding what it means
 *
 * Which console the process starts with, how the start ends and where an
 * unwritten message goes (prepare_console, prepare_start, finish_start,
 * keep_message, lose_message, show_unwritten_messages):
 *
 *   launcher.cpp       a console program that ends with 0 as soon as the
 *                      command has started
 *   launcherw.cpp      the same without a console window; a message that
 *                      does not reach standard error whole is shown in a
 *                      message box where a user can see one, else in the
 *                      debugger output and the event log
 *   launcher_wait.cpp  waits for the command, passes its exit code on, and
 *                      takes the command down with it
 *   shim.cpp           waits as launcher_wait.cpp; without a console it asks
 *                      for the one its caller meant it to have, and sends a
 *                      message with nowhere to go to the debugger output and
 *                      the event log (a copy set to GUI: as launcherw.cpp)
 *
 * launcher.exe, launcherw.exe and launcher-wait.exe take the first source
 * and one ending each; shim.exe takes the second with its own ending,
 * shimw.exe the second with the windowless one.
 *
 * What differs between architectures (the view of the file system, the
 * width of handles, how a fault is caught) is not here but in arch/, one
 * file per answer, chosen by cmake/architecture.cmake.
 */
#ifndef BUILDS_BUILD_H
#define BUILDS_BUILD_H

#include "launcher/launcher.h"
#include "platform/kernel32.h"
#include "runtime/start.h"
#include "runtime/unwritten.h"

/* Puts the build's own state back to what a new process has: the host
   tests run many launches in one process.  No exe calls it. */
void reset_build_state(void);
/* The same for the source of requests: what it keeps between the steps of
   one start. */
void reset_request_source(void);

#endif
