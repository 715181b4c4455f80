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

void name_windows_error(char *text, DWORD code)
{
    *text = 0;
    char digits[DECIMAL_SIZE];
    if (code)
        copy_text(copy_text(copy_text(text, " (Windows error "), format_decimal(digits, code)),
                  ")");
}

/* The message, ": ", the reason and a line end, then the line that says
   what the message is about, if any, ended by the Windows error behind the
   reason.  Without a reason of its own the reason is the error number's,
   and the Windows error the code kept beside it; a reason of the caller's
   own comes with its code, or 0 for none. */
static void report(const char *message, const char *reason, DWORD own_code, const char *about)
{
    /* The reason being reported, for a build that shows the message another
       way when standard error refuses it. */
    const char *meant = reason ? reason : get_error_text(error_number);
    char meant_code[WINDOWS_ERROR_NAME_SIZE], code[WINDOWS_ERROR_NAME_SIZE];
    name_windows_error(meant_code, reason ? own_code : os_error_code);
    if (message && *message) {
        write_piece(message, message);
        write_piece(": ", ": ");
    }
    /* Read only now: a failed write above has already replaced the error
       number with its own, and that is the reason that gets printed, with
       its code. */
    name_windows_error(code, reason ? own_code : os_error_code);
    write_piece(reason ? reason : get_error_text(error_number), meant);
    write_piece("\n", "\n");
    if (about) {
        write_piece(about, about);
        write_piece(code, meant_code);
        write_piece("\n", "\n");
    }
}

void report_error(const char *message)
{
    report(message, 0, 0, 0);
}

void report_error_about(const char *message, const char *about)
{
    report(message, 0, 0, about);
}

void report_failure(const char *message, const char *reason, const char *about)
{
    report(message, reason, 0, about);
}

void report_failure_with_code(const char *message, const char *reason, DWORD code,
                              const char *about)
{
    report(message, reason, code, about);
}
