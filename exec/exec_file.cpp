#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/heap.h"

/* Always tried in this order; each is exactly four characters. */
static const char *const extensions[] = {".com", ".exe", ".bat", ".cmd"};
enum { EXTENSION_LENGTH = 4 };

/* Where the last component starts: at the later of the last "\" and the
   last "/", else at the first ":", else null for a bare name. */
static const char *find_last_component(const char *file)
{
    const char *back = mb_find_last_char(file, '\\');
    const char *forward = mb_find_last_char(file, '/');
    if (back && forward)
        return back > forward ? back : forward;
    if (back || forward)
        return back ? back : forward;
    return mb_find_char(file, ':');
}

void release_unless_started(void *buffer, int result)
{
    if (result != EXEC_STARTED)
        release(buffer);
}

/* A candidate that exists is the command, unless the caller says
   otherwise.  It is opened once, for the check, its header and what is
   passed on, and closed before the start. */
static int start_candidate(const char *file, command_search *search)
{
    HANDLE opened = open_found_file(file);
    int answer =
        search->check_candidate ? search->check_candidate(file, opened) : CANDIDATE_TAKEN;
    unsigned width = 0;
    if (answer == CANDIDATE_TAKEN) {
        width = find_handle_width(file, opened, &search->gui_program);
        if (search->pass_on)
            search->pass_on(file, opened);
    }
    if (opened != INVALID_HANDLE_VALUE)
        CloseHandle(opened);
    if (answer == CANDIDATE_TAKEN)
        return start_overlay(file, width, search);
    return answer == CANDIDATE_REFUSED ? EXEC_REFUSED : EXEC_FAILED;
}

static int probe_extensions(const char *file, command_search *search)
{
    size_t length = text_length(file);
    char *candidate = (char *)allocate(length + EXTENSION_LENGTH + 1);
    if (!candidate)
        return EXEC_FAILED;
    copy_text(candidate, file);
    int result = EXEC_FAILED;
    for (size_t i = 0; i < sizeof extensions / sizeof extensions[0]; i++) {
        copy_text(candidate + length, extensions[i]);
        if (path_exists(candidate) == 0) {
            /* The first existing candidate is the command, whether or not
               it starts; a later extension is never tried after it. */
            result = start_candidate(candidate, search);
            break;
        }
    }
    release_unless_started(candidate, result);
    return result;
}

int exec_file(const char *file, command_search *search)
{
    const char *component = find_last_component(file);
    char *prefixed = 0;
    if (!component) {
        /* A bare name is looked up in the current directory only. */
        prefixed = (char *)allocate(text_length(file) + 3);
        if (!prefixed)
            return EXEC_FAILED;
        copy_text(copy_text(prefixed, ".\\"), file);
        file = prefixed;
        component = prefixed + 2;
    }

    int result;
    if (mb_find_last_char(component, '.'))
        result = path_exists(file) == 0 ? start_candidate(file, search) : EXEC_FAILED;
    else
        result = probe_extensions(file, search);
    release_unless_started(prefixed, result);
    return result;
}
