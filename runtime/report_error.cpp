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

void report_error(const char *message)
{
    /* The reason being reported, for a build that shows the message another
       way when standard error refuses it. */
    const char *meant = get_error_text(error_number);
    if (message && *message) {
        write_piece(message, message);
        write_piece(": ", ": ");
    }
    /* Read only now: a failed write above has already replaced the error
       number with its own, and that is the reason that gets printed. */
    write_piece(get_error_text(error_number), meant);
    write_piece("\n", "\n");
}

/* The line that says what a message is about, after it. */
static void write_about(const char *about)
{
    if (!about)
        return;
    write_piece(about, about);
    write_piece("\n", "\n");
}

void report_error_about(const char *message, const char *about)
{
    report_error(message);
    write_about(about);
}

void report_failure(const char *message, const char *reason, const char *about)
{
    write_piece(message, message);
    write_piece(": ", ": ");
    write_piece(reason, reason);
    write_piece("\n", "\n");
    write_about(about);
}
