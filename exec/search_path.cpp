#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/heap.h"
#include "runtime/limits.h"

/* A candidate is a short path: at most 258 characters of the entry, a
   separator and the name, then the terminator. */
enum { CANDIDATE_SIZE = SHORT_PATH_SIZE, ENTRY_LIMIT = SHORT_PATH_SIZE - 2 };

static int may_search_path(const char *name)
{
    return error_number == NO_SUCH_FILE && is_bare_name(name);
}

/* How the walk takes the entries launcher.exe has always searched as they
   come: one that depends on the current directory (empty, ".", relative,
   "C:x", "\x"), and one too long to hold a file name, which ends its
   search.  The search through PATH alone passes both over and goes on: it
   never looks where the caller happens to stand, and one odd entry does
   not hide the rest. */
enum { WALK_EVERY_ENTRY, WALK_ABSOLUTE_ENTRIES };

/* Copies the entry at `*at` and moves `*at` past it, onto the ";" or the
   end of the value.  An entry too long to be copied whole gives -1: a cut
   entry would name a directory that no entry names (a parent of the real
   one), so it is never searched. */
static int copy_entry(const char **at, char *candidate, size_t *length)
{
    const char *from = *at;
    while (**at && **at != ';')
        ++*at;
    *length = (size_t)(*at - from);
    if (*length > ENTRY_LIMIT)
        return -1;
    copy_bytes(candidate, from, *length);
    candidate[*length] = 0;
    return 0;
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
    return error_number == NO_SUCH_FILE || is_network_path(candidate);
}

/* The candidate of the entry at `at`, the name after it; 0, or -1 when the
   entry cannot hold one (too long, or depending on the current directory
   for a walk of absolute entries). */
static int make_candidate(const char **at, const char *name, int walk, char *candidate)
{
    size_t length;
    if (copy_entry(at, candidate, &length) != 0)
        return -1;
    if (walk == WALK_ABSOLUTE_ENTRIES && !is_absolute_path(candidate))
        return -1;
    if (!ends_in_separator(candidate, length)) {
        candidate[length++] = '\\';
        candidate[length] = 0;
    }
    if (text_length(name) + length >= CANDIDATE_SIZE)
        return -1;
    copy_text(candidate + length, name);
    return 0;
}

/* The search ends with the first candidate started or refused. */
static int walk_path(const char *path, const char *name, command_search *search, int walk,
                     char *candidate)
{
    for (const char *at = path;; at++) {
        if (make_candidate(&at, name, walk, candidate) == 0) {
            int result = exec_file(candidate, search);
            if (result != EXEC_FAILED)
                return result;
            pass_over_malformed_entry();
            if (!may_go_on(candidate))
                return EXEC_FAILED;
        } else if (walk == WALK_EVERY_ENTRY) {
            return EXEC_FAILED;
        }
        if (!*at)
            return EXEC_FAILED;
    }
}

static int search_path_entries(const char *name, command_search *search, int walk)
{
    const char *path = search->get_search_path ? search->get_search_path() : 0;
    if (!path)
        return EXEC_FAILED;
    char *candidate = (char *)allocate(CANDIDATE_SIZE);
    if (!candidate)
        return EXEC_FAILED;
    int result = walk_path(path, name, search, walk, candidate);
    release_unless_started(candidate, result);
    return result;
}

int exec_search_path(const char *name, command_search *search)
{
    int result = exec_file(name, search);
    if (result != EXEC_FAILED || !may_search_path(name))
        return result;
    return search_path_entries(name, search, WALK_EVERY_ENTRY);
}

int exec_search_path_only(const char *name, command_search *search)
{
    if (!is_bare_name(name))
        return exec_file(name, search);
    /* What a search that finds nothing reports, PATH unset or empty too. */
    set_error(NO_SUCH_FILE, ERROR_FILE_NOT_FOUND);
    return search_path_entries(name, search, WALK_ABSOLUTE_ENTRIES);
}
