/*
 * The launcher's one seam with the operating system.
 *
 * Code under launcher/, exec/ and runtime/ calls KERNEL32 services by their
 * own names and includes nothing else of the platform.  In the Windows build
 * those names come from the MinGW-w64 headers and bind to KERNEL32.dll; in the
 * host build they are declared by host_kernel32.h and bound to the simulated
 * KERNEL32 under platform/sim, which only the tests link.
 */
#ifndef PLATFORM_KERNEL32_H
#define PLATFORM_KERNEL32_H

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
/* The shell's start record, for a named launcher's elevated start through
   SHELL32 loaded at run time: types alone, nothing imported. */
#include <shellapi.h>
/* Older MinGW-w64 headers (Debian 12's) lack it. */
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740
#endif
#else
#include "platform/host_kernel32.h"
#endif

/* AllocConsoleWithOptions, which KERNEL32 has from Windows 11 24H2 on and
   which is found at run time: its options under names of our own, since
   older headers lack them and newer ones would clash.  The mode 0 is
   ALLOC_CONSOLE_MODE_DEFAULT: the console the process's creator asked
   for, or none. */
struct console_options {
    int mode;
    BOOL use_show_window;
    WORD show_window;
};
enum { CONSOLE_MODE_DEFAULT = 0 };
typedef LONG(WINAPI *allocate_console_function)(console_options *options, int *result);

#endif
