/*
 * The 64-bit builds (x64, ARM64): a native program of a 64-bit system sees
 * System32 as it is, and every program it would start through cmd.exe is
 * 64-bit as well.
 */
#include "arch/native_view.h"
#include "runtime/handle_table.h"

void enter_native_view(void)
{
}

void leave_native_view(void)
{
}

unsigned get_own_handle_width(void)
{
    return BLOCK_WIDTH_64;
}

unsigned get_native_handle_width(void)
{
    return BLOCK_WIDTH_64;
}

void reset_native_view(void)
{
}
