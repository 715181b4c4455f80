/*
 * Where a named launcher's file is: beside its exe, under the exe's name
 * with the last extension replaced by ".shim" (MyApp.exe reads MyApp.shim,
 * tool.v2.exe reads tool.v2.shim).  The exe's folder is the start
 * directory every relative path of the file is taken from.  The exe's own
 * path is also what tells the launcher's own file from a candidate
 * (own_file.cpp), so it is handed over there as it is read.  By the same
 * rule a command is known for a named launcher without opening it.
 */
#include "shim/shim.h"
#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/own_path.h"

/* The exe's path with its last extension replaced, and room for the longer
   one. */
static WCHAR file[LONG_PATH_SIZE + 5];

/* A conversion that fills less than it promised leaves no text at all:
   the rest of the buffer was never written. */
char *narrow_text(const WCHAR *text, int length, int *size)
{
    *size = WideCharToMultiByte(CP_ACP, conversion_flags, text, length, 0, 0, 0, 0);
    char *ansi = (char *)allocate((size_t)*size + 1);
    if (!ansi)
        return 0;
    if (WideCharToMultiByte(CP_ACP, conversion_flags, text, length, ansi, *size, 0, 0) != *size) {
        release(ansi);
        return 0;
    }
    ansi[*size] = 0;
    return ansi;
}

const WCHAR *name_shim_file(char **start_directory, char **file_name)
{
    DWORD length;
    const WCHAR *own_path = read_own_path(&length);
    if (length == 0 || length >= LONG_PATH_SIZE) {
        fail_with_last_error();
        return 0;
    }
    remember_own_file(own_path);
    unsigned start = 0, dot = length;
    for (unsigned i = 0; i < length; i++) {
        if (own_path[i] == '\\' || own_path[i] == '/') {
            start = i + 1;
            dot = length;
        } else if (own_path[i] == '.') {
            dot = i;
        }
    }
    static constexpr auto extension = WIDE(".shim");
    copy_bytes(file, own_path, dot * sizeof(WCHAR));
    copy_wide_text(file + dot, extension);
    int size;
    *start_directory = narrow_text(file, (int)start, &size);
    *file_name = narrow_text(file, -1, &size);
    /* Every relative path is taken from the one, every message names the
       other: no start without both. */
    if (!*start_directory || !*file_name) {
        set_error(NOT_ENOUGH_SPACE, ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return file;
}

/* Asked about the file a search found, in ANSI, whose last component
   always has an extension (the search tries none without one). */
int has_shim_file(const char *program)
{
    size_t length = text_length(program);
    const char *dot = mb_find_last_char(program, '.');
    char *name = (char *)allocate(length + sizeof ".shim");
    if (!name)
        return 0;
    copy_bytes(name, program, length);
    copy_text(name + (dot ? dot - program : length), ".shim");
    DWORD attributes = GetFileAttributesA(name);
    release(name);
    return attributes != INVALID_FILE_ATTRIBUTES;
}
