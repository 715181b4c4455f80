#include "runtime/bytes.h"
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"

enum { ERROR_HANDLE = 2 };

void report_error(const char *message)
{
    if (message && *message) {
        write_handle(ERROR_HANDLE, message, (unsigned)text_length(message));
        write_handle(ERROR_HANDLE, ": ", 2);
    }
    /* Read only now: a failed write above has already replaced the error
       number with its own, and that is the reason that gets printed. */
    const char *text = get_error_text(error_number);
    write_handle(ERROR_HANDLE, text, (unsigned)text_length(text));
    write_handle(ERROR_HANDLE, "\n", 1);
}
