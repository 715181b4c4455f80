/*
 * A named launcher never starts its own file: a copy in a folder of copies
 * on PATH looks for the real program of its name further on.  A file is
 * the same file whatever it is called (a short name, another case, a
 * link), so it is known by its volume and index, not by its path.
 */
#include "shim/shim.h"

static BY_HANDLE_FILE_INFORMATION own;
static BOOL own_known;

/* The file's volume and index; FALSE when it cannot be opened. */
static BOOL identify(const WCHAR *path, BY_HANDLE_FILE_INFORMATION *information)
{
    HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL known = GetFileInformationByHandle(file, information);
    CloseHandle(file);
    return known;
}

void remember_own_file(const WCHAR *path)
{
    own_known = identify(path, &own);
}

/* An own file that could not be identified matches nothing: the chain
   limit still ends a loop. */
int is_own_file(const WCHAR *path)
{
    BY_HANDLE_FILE_INFORMATION information;
    return own_known && identify(path, &information) &&
           information.dwVolumeSerialNumber == own.dwVolumeSerialNumber &&
           information.nFileIndexHigh == own.nFileIndexHigh &&
           information.nFileIndexLow == own.nFileIndexLow;
}
