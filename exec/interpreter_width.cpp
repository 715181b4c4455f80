/*
 * The width of the handle block a batch file gets.  CreateProcessA hands a
 * ".bat" or ".cmd" file to the command interpreter that ComSpec names in
 * the environment the command inherits (a named launcher's env lines are
 * already set in it), and that interpreter's C runtime reads the block.
 * Someone who points ComSpec at a 32-bit cmd.exe on 64-bit Windows gets a
 * 32-bit interpreter, which would take 8-byte handles two for one.  The
 * header is read in the native view, as the start sees the file system.
 * Where it cannot be read, the system's own cmd.exe is the best guess.
 */
#include "exec/exec.h"
#include "arch/native_view.h"
#include "runtime/limits.h"

unsigned find_interpreter_width(void)
{
    char interpreter[SHORT_PATH_SIZE];
    DWORD length = GetEnvironmentVariableA("ComSpec", interpreter, SHORT_PATH_SIZE);
    unsigned width = 0;
    if (length > 0 && length < SHORT_PATH_SIZE)
        width = read_program_width(interpreter);
    return width ? width : get_native_handle_width();
}
