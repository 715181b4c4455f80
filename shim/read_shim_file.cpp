/*
 * A named launcher's file as bytes, read whole, and as text: UTF-8 proved
 * before anything is taken from it, so a file of another encoding is told
 * apart rather than read as something else.
 */
#include "shim/shim.h"
#include "runtime/error_number.h"

/* Until the end, or one byte past the limit, so that a file over it is
   told from one that fills it exactly.  ReadFile counts 0 bytes when it
   fails. */
int read_shim_file(const WCHAR *name, char *bytes, unsigned *size)
{
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    BOOL read = file != INVALID_HANDLE_VALUE;
    DWORD count = 1;
    *size = 0;
    while (read && count && *size <= SHIM_FILE_LIMIT) {
        read = ReadFile(file, bytes + *size, SHIM_FILE_LIMIT + 1 - *size, &count, 0);
        *size += count;
    }
    /* Mapped before CloseHandle, which may leave a last error of its own. */
    int result = read ? 0 : fail_with_last_error();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    /* The limit is the launcher's own: no Windows error goes with it. */
    if (read && *size > SHIM_FILE_LIMIT) {
        set_error(FILE_TOO_LARGE, ERROR_SUCCESS);
        result = -1;
    }
    return result;
}

/* An empty file converts to nothing, and has no path. */
int decode_shim_file(const char *bytes, unsigned size, char **text, int *text_size)
{
    static WCHAR wide[SHIM_FILE_LIMIT + 1];
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, (int)size, wide,
                                     SHIM_FILE_LIMIT + 1);
    if (size && !length)
        return SHIM_NOT_TEXT;
    int mark = length && wide[0] == 0xFEFF;
    *text = narrow_text(wide + mark, length - mark, text_size);
    return *text ? SHIM_FINE : SHIM_NO_MEMORY;
}
