#include "runtime/exit.h"
#include "platform/kernel32.h"
#include "runtime/bytes.h"
#include "runtime/error_reporting.h"
#include "runtime/handle_table.h"
#include "runtime/stream.h"
#include "runtime/unwritten.h"

int exit_reached;

/* The start-up failures' numbers, and their texts as one block in the
   same order. */
#define RUNTIME_ERROR(name, code, description) name,
static constexpr unsigned char runtime_error_numbers[] = {RUNTIME_ERRORS};
#undef RUNTIME_ERROR
#define RUNTIME_ERROR(name, code, description) code "\r\n- " description "\r\n\0"
static constexpr char runtime_error_texts[] = RUNTIME_ERRORS;
#undef RUNTIME_ERROR

static_assert(count_texts(runtime_error_texts, sizeof runtime_error_texts) ==
                  sizeof runtime_error_numbers,
              "no text holds a zero of its own");
static_assert(are_distinct(runtime_error_numbers, sizeof runtime_error_numbers),
              "each number has one row");

[[noreturn]] static void end_process(int status)
{
    if (exit_reached)
        TerminateProcess(GetCurrentProcess(), (UINT)status);
    exit_reached = 1;
    show_unwritten_messages();
    ExitProcess((UINT)status);
}

void exit_normally(int status)
{
    if (!exit_reached)
        flush_all_streams();
    end_process(status);
}

void exit_quickly(int status)
{
    end_process(status);
}

/* Straight to the platform: the streams may not exist yet, and a message
   that needs memory cannot report that memory is missing. */
static void write_runtime_text(const char *text)
{
    handle_slot *slot = find_slot(2);
    HANDLE handle = slot && slot->handle != INVALID_HANDLE_VALUE ? slot->handle
                                                                 : GetStdHandle(STD_ERROR_HANDLE);
    DWORD written;
    DWORD length = (DWORD)text_length(text);
    if (!keep_if_unwritable(handle, text, length) &&
        (!WriteFile(handle, text, length, &written, 0) || written != length))
        lose_message();
}

/* The text of a start-up failure, or null for a number that has none. */
static const char *find_runtime_error_text(int number)
{
    for (size_t i = 0; i < sizeof runtime_error_numbers; i++)
        if (runtime_error_numbers[i] == number)
            return find_text(runtime_error_texts, (int)i);
    return 0;
}

void fail_with_runtime_error(int number)
{
    write_runtime_text("\r\n");
    write_runtime_text("runtime error ");
    const char *text = find_runtime_error_text(number);
    if (text)
        write_runtime_text(text);
    exit_quickly(255);
}
