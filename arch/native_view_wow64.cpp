/*
 * The 32-bit x86 builds.  On 64-bit Windows WoW64 redirects a 32-bit
 * process's lookups in C:\Windows\System32 to SysWOW64, so a command that
 * exists only as a 64-bit program there (ssh.exe, wsl.exe) would be
 * reported missing.  The search and the start turn the redirection off, so
 * the launcher finds what any 64-bit caller finds, and turn it back on the
 * moment the command has started: the windowless builds load USER32 for a
 * message box later, and a 32-bit process must load it from SysWOW64.
 *
 * The two functions are looked up at run time: 32-bit Windows before Vista
 * lacks them, and importing them would keep the exe from loading there.
 * Where they exist on 32-bit Windows they fail, since there is nothing to
 * turn off; so whether the redirection could be turned off also tells
 * whether the system is 64-bit.
 */
#include "arch/native_view.h"
#include "platform/kernel32.h"
#include "runtime/handle_table.h"

typedef BOOL(WINAPI *disable_function)(PVOID *);
typedef BOOL(WINAPI *revert_function)(PVOID);

static revert_function revert;
static PVOID redirection;
static int turned_off;
static int system_64;

void enter_native_view(void)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.dll");
    if (!kernel)
        return;
    disable_function disable = (disable_function)(void (*)(void))GetProcAddress(
        kernel, "Wow64DisableWow64FsRedirection");
    revert = (revert_function)(void (*)(void))GetProcAddress(kernel,
                                                             "Wow64RevertWow64FsRedirection");
    turned_off = disable && revert && disable(&redirection);
    system_64 = turned_off;
}

void leave_native_view(void)
{
    if (turned_off)
        revert(redirection);
    turned_off = 0;
}

unsigned get_own_handle_width(void)
{
    return BLOCK_WIDTH_32;
}

unsigned get_native_handle_width(void)
{
    return system_64 ? BLOCK_WIDTH_64 : BLOCK_WIDTH_32;
}

void reset_native_view(void)
{
    turned_off = 0;
    system_64 = 0;
}
