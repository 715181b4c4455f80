#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/heap.h"
#include "runtime/limits.h"

/* A candidate is a short path: at most 258 characters of the entry, a
   separator and the name, then the terminator. */
enum { CANDIDATE_SIZE = SHORT_PATH_SIZE, ENTRY_LIMIT = SHORT_PATH_SIZE - 2 };

static int is_separator(char c)
{
    return c == '\\' || c == '/';
}

int is_bare_name(const char *name)
{
    if (mb_find_char(name, '\\') || mb_find_char(name, '/'))
        return 0;
    return name[0] == 0 || name[1] != ':';
}

static int may_search_path(const char *name)
{
    return error_number == NO_SUCH_FILE && is_bare_name(name);
}

/* A trailing "\" counts only as a character of its own, not as the second
   byte of a double-byte character. */
static int ends_in_separator(const char *directory, size_t length)
{
    if (length == 0)
        return 0;
    const char *last = directory + length - 1;
    return *last == '/' || (*last == '\\' && mb_find_last_char(directory, '\\') == last);
}

/* Copies the entry at `at` and returns where the walk stands: on the ";" or
   the end of the value.  An entry too long to be copied whole gives null: a
   cut entry would name a directory that no entry names (a parent of the real
   one), so it ends the search like every other entry that does not fit. */
static const char *copy_entry(const char *at, char *candidate, size_t *length)
{
    size_t n = 0;
    while (*at && *at != ';') {
        if (n == ENTRY_LIMIT)
            return 0;
        candidate[n++] = *at++;
    }
    candidate[n] = 0;
    *length = n;
    return at;
}

/* An entry that the file system cannot take as a name (a quoted one, or one
   holding a wildcard or a tab) holds no command: it is passed over like a
   missing one instead of ending the search. */
static void pass_over_malformed_entry(void)
{
    if (error_number == INVALID_ARGUMENT && os_error_code == ERROR_INVALID_NAME)
        error_number = NO_SUCH_FILE;
}

/* A share that refuses one user may still be reachable as another entry;
   only a network path lets the walk go on after a failure other than
   "not found". */
static int may_go_on(const char *candidate)
{
    return error_number == NO_SUCH_FILE ||
           (is_separator(candidate[0]) && is_separator(candidate[1]));
}

/* The search ends with the first candidate started or refused. */
static int walk_path(const char *path, const char *name, command_search *search, char *candidate)
{
    size_t name_length = text_length(name);
    const char *at = path;
    for (;;) {
        size_t length;
        at = copy_entry(at, candidate, &length);
        if (!at)
            return EXEC_FAILED;
        if (!ends_in_separator(candidate, length)) {
            candidate[length++] = '\\';
            candidate[length] = 0;
        }
        if (name_length + length >= CANDIDATE_SIZE)
            return EXEC_FAILED;
        copy_text(candidate + length, name);
        int result = exec_file(candidate, search);
        if (result != EXEC_FAILED)
            return result;
        pass_over_malformed_entry();
        if (!may_go_on(candidate) || !*at)
            return EXEC_FAILED;
        at++;
    }
}

static int search_path_entries(const char *name, command_search *search)
{
    const char *path = search->get_search_path ? search->get_search_path() : 0;
    if (!path)
        return EXEC_FAILED;
    char *candidate = (char *)allocate(CANDIDATE_SIZE);
    if (!candidate)
        return EXEC_FAILED;
    int result = walk_path(path, name, search, candidate);
    release_unless_started(candidate, result);
    return result;
}

int exec_search_path(const char *name, command_search *search)
{
    int result = exec_file(name, search);
    if (result != EXEC_FAILED || !may_search_path(name))
        return result;
    return search_path_entries(name, search);
}

int exec_search_path_only(const char *name, command_search *search)
{
    if (!is_bare_name(name))
        return exec_file(name, search);
    /* What a search that finds nothing reports, PATH unset or empty too. */
    set_error(NO_SUCH_FILE, ERROR_FILE_NOT_FOUND);
    return search_path_entries(name, search);
}
