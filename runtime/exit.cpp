#include "runtime/exit.h"
#include "builds/build.h"
#include "platform/kernel32.h"
#include "runtime/bytes.h"
#include "runtime/error_reporting.h"
#include "runtime/handle_table.h"
#include "runtime/stream.h"

int exit_reached;

struct runtime_message {
    int number;
    const char *text;
};

static const runtime_message runtime_messages[] = {
    {252, "\r\n"},
    {255, "runtime error "},
    {8, "R6008\r\n- not enough space for arguments\r\n"},
    {9, "R6009\r\n- not enough space for environment\r\n"},
    {26, "R6026\r\n- not enough space for stdio initialization\r\n"},
    {27, "R6027\r\n- not enough space for lowio initialization\r\n"},
    {28, "R6028\r\n- unable to initialize heap\r\n"},
};

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
static void write_runtime_message(int number)
{
    for (size_t i = 0; i < sizeof runtime_messages / sizeof runtime_messages[0]; i++) {
        if (runtime_messages[i].number != number)
            continue;
        handle_slot *slot = find_slot(2);
        HANDLE handle = slot && slot->handle != INVALID_HANDLE_VALUE ? slot->handle
                                                                     : GetStdHandle(STD_ERROR_HANDLE);
        DWORD written;
        const char *text = runtime_messages[i].text;
        DWORD length = (DWORD)text_length(text);
        if (!keep_if_unwritable(handle, text, length) &&
            (!WriteFile(handle, text, length, &written, 0) || written != length))
            lose_message();
        return;
    }
}

void fail_with_runtime_error(int number)
{
    write_runtime_message(252);
    write_runtime_message(255);
    write_runtime_message(number);
    exit_quickly(255);
}
