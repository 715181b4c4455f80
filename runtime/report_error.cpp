#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"

enum { ERROR_HANDLE = 2 };

/* Straight on slot 2, unless the build takes a piece that has no standard
   error to go to.  The build is shown the piece as it is meant. */
static void write_piece(const char *text, const char *meant)
{
    if (!keep_if_unwritable(get_error_handle(), meant, (unsigned)text_length(meant)))
        write_handle(ERROR_HANDLE, text, (unsigned)text_length(text));
}

/* The message, ": ", the reason and a line end, then the line that says
   what the message is about, if any.  Without a reason of its own the
   reason is the error number's. */
static void report(const char *message, const char *reason, const char *about)
{
    /* The reason being reported, for a build that shows the message another
       way when standard error refuses it. */
    const char *meant = reason ? reason : get_error_text(error_number);
    if (message && *message) {
        write_piece(message, message);
        write_piece(": ", ": ");
    }
    /* Read only now: a failed write above has already replaced the error
       number with its own, and that is the reason that gets printed. */
    write_piece(reason ? reason : get_error_text(error_number), meant);
    write_piece("\n", "\n");
    if (about) {
        write_piece(about, about);
        write_piece("\n", "\n");
    }
}

void report_error(const char *message)
{
    report(message, 0, 0);
}

void report_error_about(const char *message, const char *about)
{
    report(message, 0, about);
}

void report_failure(const char *message, const char *reason, const char *about)
{
    report(message, reason, about);
}
