/*
 * A named launcher's lib directories: each made absolute from the start
 * directory and normalised, after those before it, and appended to PATH
 * together, never longer than a variable may be.
 */
#include "shim/named_start.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"

/* ";" and the lib directories, joined by ";": the directories never more
   than a variable holds. */
static WCHAR libraries[1 + VARIABLE_SIZE];
static unsigned library_length;

/* One library directory, made absolute from the start directory and
   normalised, after those before it.  A list that outgrows a variable
   names the limit: no single value is at fault. */
static int add_library(const shim_text &value)
{
    static WCHAR wide[SHIM_FILE_LIMIT + 1];
    char *path = make_shim_path(value);
    if (!path || !MultiByteToWideChar(CP_ACP, 0, path, -1, wide, SHIM_FILE_LIMIT + 1))
        return report_shim_mistake(SHIM_NO_MEMORY);
    WCHAR *directories = libraries + 1;
    if (library_length)
        directories[library_length++] = ';';
    DWORD room = VARIABLE_SIZE - library_length;
    DWORD written = GetFullPathNameW(wide, room, directories + library_length, 0);
    if (written >= room)
        return report_shim_mistake(SHIM_TOO_LONG);
    if (written == 0) {
        map_os_error(GetLastError());
        report_error_about("Shim Failed", locate_shim_setting("lib = ", value));
        return -1;
    }
    library_length += written;
    return 0;
}

int add_shim_libraries(const shim_settings *settings)
{
    for (unsigned i = 0; i < settings->count; i++)
        if (settings->settings[i].key == SHIM_LIB && add_library(settings->settings[i].value) != 0)
            return -1;
    return 0;
}

/* PATH, then the lib directories: never longer than a variable may be, or
   the platform would cut it.  A removed or empty PATH gets the directories
   alone: an empty entry would stand for a folder of the current drive. */
int find_shim_libraries(DWORD path_length, const WCHAR **directories)
{
    *directories = 0;
    if (!library_length)
        return 0;
    /* PATH and its ";" where there is one, the directories and the
       terminator. */
    if (path_length + (path_length ? 1 : 0) + library_length + 1 > VARIABLE_SIZE)
        return report_shim_mistake(SHIM_TOO_LONG);
    libraries[0] = ';';
    *directories = path_length ? libraries : libraries + 1;
    return 0;
}

void reset_shim_libraries(void)
{
    library_length = 0;
}
