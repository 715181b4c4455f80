#include "exec/exec.h"
#include "builds/build.h"
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

/* A candidate that exists is the command, unless the build refuses it. */
static int start_candidate(const char *file, const command_words *words, char **environment)
{
    return check_candidate(file) == 0 ? start_overlay(file, words, environment) : -1;
}

static int probe_extensions(const char *file, const command_words *words, char **environment)
{
    size_t length = text_length(file);
    char *candidate = (char *)allocate(length + EXTENSION_LENGTH + 1);
    if (!candidate)
        return -1;
    copy_text(candidate, file);
    int result = -1;
    for (size_t i = 0; i < sizeof extensions / sizeof extensions[0]; i++) {
        copy_text(candidate + length, extensions[i]);
        if (path_exists(candidate) == 0) {
            /* The first existing candidate is the command, whether or not
               it starts; a later extension is never tried after it. */
            result = start_candidate(candidate, words, environment);
            break;
        }
    }
    release(candidate);
    return result;
}

int exec_file(const char *file, const command_words *words, char **environment)
{
    const char *component = find_last_component(file);
    char *prefixed = 0;
    if (!component) {
        /* A bare name is looked up in the current directory only. */
        prefixed = (char *)allocate(text_length(file) + 3);
        if (!prefixed)
            return -1;
        copy_text(copy_text(prefixed, ".\\"), file);
        file = prefixed;
        component = prefixed + 2;
    }

    int result;
    if (mb_find_last_char(component, '.'))
        result = path_exists(file) == 0 ? start_candidate(file, words, environment) : -1;
    else
        result = probe_extensions(file, words, environment);
    release(prefixed);
    return result;
}
