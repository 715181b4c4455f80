#include "launcher/launcher.h"
#include "platform/kernel32.h"
#include "runtime/error_number.h"

enum { DIRECTORY_SIZE = 261 };

static int is_separator(char c)
{
    return c == '\\' || c == '/';
}

int change_directory(const char *path)
{
    char directory[DIRECTORY_SIZE];
    if (!SetCurrentDirectoryA(path)) {
        map_os_error(GetLastError());
        return -1;
    }
    DWORD length = GetCurrentDirectoryA(DIRECTORY_SIZE, directory);
    if (length == 0) {
        map_os_error(GetLastError());
        return -1;
    }
    /* A longer directory was not written into the buffer: there is nothing
       to record, and recording a stale buffer would be worse. */
    if (length >= DIRECTORY_SIZE) {
        set_error(FILENAME_TOO_LONG, 0);
        return -1;
    }
    /* A UNC directory has no drive letter, so no drive variable. */
    if (is_separator(directory[0]) && directory[1] == directory[0])
        return 0;

    char drive = directory[0];
    if (drive >= 'a' && drive <= 'z')
        drive = (char)(drive - 'a' + 'A');
    char name[4] = {'=', drive, ':', 0};
    if (SetEnvironmentVariableA(name, directory))
        return 0;
    map_os_error(GetLastError());
    return -1;
}
