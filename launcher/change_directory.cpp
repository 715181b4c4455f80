#include "launcher/launcher.h"
#include "platform/kernel32.h"
#include "runtime/error_number.h"
#include "runtime/limits.h"

static WCHAR directory[LONG_PATH_SIZE];

static int is_drive_letter(WCHAR c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/*
 * The new directory is read in its wide form, so the variable names it
 * exactly, however many bytes its ANSI form would take: a directory of
 * double-byte characters that outgrew a fixed byte buffer would otherwise
 * leave the old value standing.  Only a directory on a drive has a drive
 * variable; a UNC directory has none, and neither has a device name that
 * some platforms accept as a directory ("NUL" would otherwise set "=N:").
 */
int change_directory(const char *path)
{
    if (!SetCurrentDirectoryA(path)) {
        return fail_with_last_error();
    }
    DWORD length = GetCurrentDirectoryW(LONG_PATH_SIZE, directory);
    if (length == 0 || length >= LONG_PATH_SIZE) {
        return fail_with_last_error();
    }
    if (!is_drive_letter(directory[0]) || directory[1] != ':')
        return 0;

    WCHAR drive = directory[0];
    if (drive >= 'a' && drive <= 'z')
        drive = (WCHAR)(drive - 'a' + 'A');
    WCHAR name[4] = {'=', drive, ':', 0};
    if (SetEnvironmentVariableW(name, directory))
        return 0;
    return fail_with_last_error();
}
