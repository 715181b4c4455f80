#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"

enum { ERROR_HANDLE = 2 };

/* Straight on slot 2, unless the build takes a piece that has no standard
   error to go to. */
static void write_piece(const char *text, unsigned count)
{
    if (!keep_if_unwritable(get_error_handle(), text, count))
        write_handle(ERROR_HANDLE, text, count);
}

void report_error(const char *message)
{
    if (message && *message) {
        write_piece(message, (unsigned)text_length(message));
        write_piece(": ", 2);
    }
    /* Read only now: a failed write above has already replaced the error
       number with its own, and that is the reason that gets printed. */
    const char *text = get_error_text(error_number);
    write_piece(text, (unsigned)text_length(text));
    write_piece("\n", 1);
}
