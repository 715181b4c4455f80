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
#else
#include "platform/host_kernel32.h"
#endif

#endif
