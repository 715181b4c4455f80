#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/unwritten.h"

/* A chunk closes at 1024 bytes; one more when its last byte was a line feed
   that became CR LF. */
enum { CHUNK_SIZE = 1024, STAGING_SIZE = CHUNK_SIZE + 1 };

void move_to_end(handle_slot *slot)
{
    if (slot->handle == INVALID_HANDLE_VALUE) {
        set_error(BAD_FILE_DESCRIPTOR, ERROR_SUCCESS);
        return;
    }
    if (SetFilePointer(slot->handle, 0, 0, FILE_END) != INVALID_SET_FILE_POINTER)
        return;
    /* A file of exactly 4 GiB - 1 bytes ends at that very value: only a
       reason given with it makes it a failure. */
    DWORD error = GetLastError();
    if (error != ERROR_SUCCESS)
        map_os_error(error);
}

/* Data bytes whose translated form lies wholly within the first `accepted`
   bytes of their chunk. */
static unsigned count_whole_bytes(const unsigned char *data, unsigned count, DWORD accepted)
{
    unsigned whole = 0;
    DWORD used = 0;
    while (whole < count) {
        DWORD cost = data[whole] == '\n' ? 2 : 1;
        if (used + cost > accepted)
            break;
        used += cost;
        whole++;
    }
    return whole;
}

struct write_outcome {
    DWORD total;     /* bytes the platform accepted */
    unsigned data;   /* data bytes those stand for */
    DWORD failure;   /* the platform error, when a WriteFile failed */
    int failed;
};

static void write_text(HANDLE handle, const unsigned char *data, unsigned count,
                       write_outcome *out)
{
    unsigned next = 0;
    while (next < count) {
        char staging[STAGING_SIZE];
        unsigned first = next;
        DWORD staged = 0;
        while (next < count && staged < CHUNK_SIZE) {
            if (data[next] == '\n')
                staging[staged++] = '\r';
            staging[staged++] = (char)data[next++];
        }
        DWORD accepted = 0;
        if (!WriteFile(handle, staging, staged, &accepted, 0)) {
            out->failure = GetLastError();
            out->failed = 1;
            return;
        }
        out->total += accepted;
        if (accepted < staged) {
            out->data += count_whole_bytes(data + first, next - first, accepted);
            return;
        }
        out->data += next - first;
    }
}

int write_slot(int number, const void *data, unsigned count)
{
    handle_slot *slot = find_slot(number);
    if (!slot || !(slot->flags & SLOT_OPEN)) {
        set_error(BAD_FILE_DESCRIPTOR, ERROR_SUCCESS);
        return -1;
    }
    if (count == 0)
        return 0;
    if (slot->flags & SLOT_APPEND)
        move_to_end(slot);

    const unsigned char *bytes = (const unsigned char *)data;
    write_outcome out = {0, 0, 0, 0};
    if (slot->flags & SLOT_TEXT) {
        write_text(slot->handle, bytes, count, &out);
    } else {
        DWORD accepted = 0;
        if (WriteFile(slot->handle, bytes, count, &accepted, 0)) {
            out.total = accepted;
            out.data = accepted;
        } else {
            out.failure = GetLastError();
            out.failed = 1;
        }
    }

    if (out.total > 0)
        return (int)out.data;
    if (out.failed) {
        /* A handle opened without write access is a bad descriptor for
           writing, not a permission problem of the file. */
        if (out.failure == ERROR_ACCESS_DENIED)
            set_error(BAD_FILE_DESCRIPTOR, ERROR_ACCESS_DENIED);
        else
            map_os_error(out.failure);
        return -1;
    }
    /* Control-Z ends text on a device; writing it is not a failure. */
    if ((slot->flags & SLOT_DEVICE) && bytes[0] == 0x1A)
        return 0;
    set_error(NO_SPACE_ON_DEVICE, ERROR_SUCCESS);
    return -1;
}

/* Every byte the launcher writes is a message on standard error: the build
   hears of one that did not arrive whole. */
int write_handle(int number, const void *data, unsigned count)
{
    int written = write_slot(number, data, count);
    if (written != (int)count)
        lose_message();
    return written;
}
