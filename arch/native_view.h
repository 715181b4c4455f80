/*
 * How the launcher sees the file system while it searches and starts, and
 * how wide handles are: the answers that differ between architectures.
 * cmake/architecture.cmake links one file of this folder per answer:
 *
 *   native_view_wow64.cpp  the 32-bit x86 builds, which on 64-bit Windows
 *                          run under WoW64 (and the host builds, whose
 *                          tests pin the x86 view)
 *   native_view_none.cpp   the 64-bit builds (x64, ARM64), native anyway
 */
#ifndef ARCH_NATIVE_VIEW_H
#define ARCH_NATIVE_VIEW_H

/* The search and the start see the file system as a native program of the
   system does (C:\Windows\System32 the native one); the process's own view
   comes back at once after the start, or after a search that started
   nothing, before anything is loaded into the launcher. */
void enter_native_view(void);
void leave_native_view(void);

/* Bytes per handle in the handle block of a program of the launcher's own
   architecture, and of the system's native programs (the system's cmd.exe,
   for a batch file whose interpreter cannot be read): 4 for 32-bit
   programs, 8 for 64-bit ones.  The native width is known once the native
   view has been entered. */
unsigned get_own_handle_width(void);
unsigned get_native_handle_width(void);

/* Puts the view back to what a new process has: the host tests run many
   launches in one process.  No exe calls it. */
void reset_native_view(void);

#endif
