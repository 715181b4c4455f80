#include "shim/shim.h"
#include "runtime/error_number.h"

enum { FILE_TOO_LARGE = 27 };

/* Read whole, one byte past the limit at most, so that a file over it is
   told from one that fills it exactly. */
static int read_bytes(HANDLE file, char *bytes, unsigned *size)
{
    *size = 0;
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, bytes + *size, SHIM_FILE_LIMIT + 1 - *size, &count, 0)) {
            map_os_error(GetLastError());
            return -1;
        }
        if (count == 0)
            return 0;
        *size += count;
        if (*size > SHIM_FILE_LIMIT) {
            set_error(FILE_TOO_LARGE, ERROR_FILE_TOO_LARGE);
            return -1;
        }
    }
}

int read_shim_file(const WCHAR *name, char *bytes, unsigned *size)
{
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        map_os_error(GetLastError());
        return -1;
    }
    int result = read_bytes(file, bytes, size);
    CloseHandle(file);
    return result;
}
