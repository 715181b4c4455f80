/*
 * The child that every way of starting is measured with: it ends at once
 * with 0, so a measured start is all start and no work.  Built freestanding
 * like the launcher, so its own start-up adds nothing but the platform's.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" void do_nothing(void)
{
    ExitProcess(0);
}
