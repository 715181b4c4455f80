/*
 * The caller's window state.  A shortcut's "Run: Minimized" or "Maximized"
 * reaches the launcher as the show-window flag and value of its start-up
 * information; the window the user sees is the command's, so the setting
 * is meant for the command and would be lost on it with a zeroed block.
 * Only a state the caller gave is passed on: without one the command opens
 * its window as it would by itself.  The rest of the caller's block (its
 * title, its standard handles) stays the launcher's own.
 */
#include "exec/exec.h"

void copy_window_state(STARTUPINFOA *startup)
{
    STARTUPINFOA caller;
    GetStartupInfoA(&caller);
    if (caller.dwFlags & STARTF_USESHOWWINDOW) {
        startup->dwFlags |= STARTF_USESHOWWINDOW;
        startup->wShowWindow = caller.wShowWindow;
    }
}
