/* The launcher's whole output path: every byte it writes passes here. */
#ifndef RUNTIME_ERROR_REPORTING_H
#define RUNTIME_ERROR_REPORTING_H

#include "runtime/handle_table.h"

/* The low-level write on one handle-table slot: line feeds become CR LF on
   text slots, an append slot seeks to its end first.  Returns the number of
   data bytes written, 0, or -1 with the error number set. */
int write_handle(int number, const void *data, unsigned count);
/* The same write, of text that is no message (the trace): the build does
   not hear of it when it fails, so no failure is shown for it. */
int write_slot(int number, const void *data, unsigned count);
/* Moves an append slot's file position to the end of its file. */
void move_to_end(handle_slot *slot);
/* The message, ": ", the text of the error number and a line end, straight
   on slot 2; a null or empty message leaves out the first two pieces. */
void report_error(const char *message);
/* The same, then the line that says what it is about, when there is one,
   ended by " (Windows error N)" when the reason came from the platform:
   the OS error code kept beside the error number is nonzero. */
void report_error_about(const char *message, const char *about);
/* The message, ": " and a reason of its own, a line end, and the line that
   says what it is about, when there is one. */
void report_failure(const char *message, const char *reason, const char *about);
/* The same for a reason of its own that a Windows error stands behind: the
   line about it ends with that code. */
void report_failure_with_code(const char *message, const char *reason, DWORD code,
                              const char *about);
/* " (Windows error N)" for a nonzero code, else an empty text: how the
   code behind a reason is shown wherever it is (a named launcher's second
   line, the trace).  The 16 characters around at most 10 digits. */
enum { WINDOWS_ERROR_NAME_SIZE = 28 };
void name_windows_error(char *text, DWORD code);
/* A bare message through the error stream, without a line end. */
int print_error_stream(const char *message);

/* The standard error handle: slot 2's, or -1 before the handle table exists. */
HANDLE get_error_handle(void);
/* Hands a message piece, as it is meant, to the build before it is written
   to the handle; a missing handle (null or -1) would fail the write, and a
   build without a console shows the message another way.  Nonzero when the
   build took the piece, and the write is not to be made. */
int keep_if_unwritable(HANDLE handle, const char *text, unsigned count);

#endif
