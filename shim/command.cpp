/*
 * The command of a named start: where its path leads, the line it gets,
 * and which candidates of the search it may be.  A named launcher never
 * starts itself (own_file.cpp), and a chain of copies that leads back into
 * itself ends (chain.cpp).
 */
#include "shim/named_start.h"
#include "exec/exec.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/limits.h"
#include "runtime/trace.h"

/* The words after the file found: one text, and the null that ends them. */
static char *later[2];
/* The UTF-16 units the file's args and the caller's arguments add to the
   command line, with the blank before them. */
static unsigned later_units;
/* The command is a bare name, looked for through PATH. */
static int bare;

/* A bare name stands on its own, for the search through PATH: it is the
   value itself, which is terminated once resolved. */
const char *find_shim_command(const shim_text &path)
{
    bare = is_bare_name(path.text);
    return bare ? path.text : make_shim_path(path);
}

/* The file's args, then the caller's arguments as they stand. */
char **list_shim_arguments(const shim_text &args)
{
    const char *tail = get_received_tail();
    later[0] = join_shim_text("", args, args.length && *tail ? " " : "", tail);
    if (!later[0])
        return 0;
    if (*later[0])
        later_units = (unsigned)MultiByteToWideChar(CP_ACP, 0, later[0], -1, 0, 0);
    return later;
}

/* The own file is passed over where PATH is searched, as if missing, and
   refused where the file's path leads to it; so is, on PATH, a launcher
   already in the chain, which would lead back here.  A command line the
   platform cannot take is passed over with its own reason.  The candidate
   is known through the handle that reads its header: no second open. */
int check_shim_candidate(const char *file, HANDLE opened)
{
    unsigned units = (unsigned)MultiByteToWideChar(CP_ACP, 0, file, -1, 0, 0);
    file_identity found;
    int known = identify_opened_file(opened, &found);
    int own = known && is_own_file(&found);
    if (own || (known && bare && is_in_chain(&found))) {
        trace_line("candidate ", file, own ? ": the launcher itself" : ": already in the chain");
        if (!bare)
            return CANDIDATE_REFUSED;
        set_error(NO_SUCH_FILE, ERROR_FILE_NOT_FOUND);
        return CANDIDATE_PASSED_OVER;
    }
    /* The two quotes come on top; each count holds a terminator, which
       stands for the blank between the two and for the line's own.  The
       limit is the launcher's own finding: no Windows error goes with it. */
    if (2 + units + later_units > COMMAND_LINE_SIZE) {
        set_error(ARG_LIST_TOO_LONG, ERROR_SUCCESS);
        trace_outcome("candidate ", file, -1);
        return CANDIDATE_PASSED_OVER;
    }
    return CANDIDATE_TAKEN;
}

/* The one candidate a named launcher refuses is its own file, where its
   path leads there; every other failure is reported as the launcher's. */
int explain_shim_failure(int result, const char *about)
{
    if (result != EXEC_REFUSED)
        return 0;
    report_failure("Shim Failed", get_shim_mistake_text(SHIM_ITSELF), about);
    return 1;
}

void reset_shim_command(void)
{
    later_units = 0;
}
