/*
 * The shapes of a path, as the platform reads it, in one place for the
 * search, the named launchers' file and their adapter.  "\" and "/" are
 * both separators, and any character before a ":" in second place names a
 * drive.  Every path is of exactly one of three shapes:
 *
 *   absolute          "C:\x", "\\server\x": a place of its own
 *   on a current one  "C:x", "C:", "\x": taken from the current directory
 *                     of drive C: or of the current drive
 *   relative          "x", "..\x": taken from a directory the caller
 *                     chooses (the working directory, a start directory)
 */
#include "exec/exec.h"

static int is_separator(char c)
{
    return c == '\\' || c == '/';
}

static int names_drive(const char *path)
{
    return path[0] && path[1] == ':';
}

int is_bare_name(const char *name)
{
    if (mb_find_char(name, '\\') || mb_find_char(name, '/'))
        return 0;
    return !names_drive(name);
}

/* A trailing "\" counts only as a character of its own, not as the second
   byte of a double-byte character. */
int ends_in_separator(const char *directory, size_t length)
{
    if (length == 0)
        return 0;
    const char *last = directory + length - 1;
    return *last == '/' || (*last == '\\' && mb_find_last_char(directory, '\\') == last);
}

int is_absolute_path(const char *path)
{
    if (names_drive(path))
        return is_separator(path[2]);
    return is_network_path(path);
}

int depends_on_current_directory(const char *path)
{
    if (names_drive(path))
        return !is_separator(path[2]);
    return is_separator(path[0]) && !is_separator(path[1]);
}

int is_relative_path(const char *path)
{
    return !names_drive(path) && !is_separator(path[0]);
}

int is_network_path(const char *path)
{
    return is_separator(path[0]) && is_separator(path[1]);
}
