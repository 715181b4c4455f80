/*
 * The shapes of a path, as the platform reads it, in one place for the
 * search, the named launchers' file and their adapter.  "\" and "/" are
 * both separators.
 */
#include "exec/exec.h"

int is_separator(unsigned c)
{
    return c == '\\' || c == '/';
}

int is_bare_name(const char *name)
{
    if (mb_find_char(name, '\\') || mb_find_char(name, '/'))
        return 0;
    return name[0] == 0 || name[1] != ':';
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

/* "C:\x" or "\\server\x": a place of its own, whatever the current
   directory. */
int is_absolute_path(const char *entry)
{
    if (entry[0] && entry[1] == ':')
        return is_separator(entry[2]);
    return is_separator(entry[0]) && is_separator(entry[1]);
}

/* "C:x", "C:" and "\x" are taken from a current directory, of drive C: or
   of the current drive; a named launcher takes nothing from there. */
int depends_on_current_directory(const char *path)
{
    if (path[0] && path[1] == ':')
        return !is_separator(path[2]);
    return is_separator(path[0]) && !is_separator(path[1]);
}
