#include "runtime/stream.h"
#include "runtime/bytes.h"
#include "runtime/error_reporting.h"
#include "runtime/exit.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"

stream builtin_streams[BUILTIN_STREAMS];
stream **stream_table;
int stream_table_size;

void init_streams(void)
{
    stream_table_size = STREAM_TABLE_SIZE;
    stream_table = (stream **)allocate_zeroed(STREAM_TABLE_SIZE * sizeof(stream *));
    if (!stream_table) {
        stream_table_size = BUILTIN_STREAMS;
        stream_table = (stream **)allocate_zeroed(BUILTIN_STREAMS * sizeof(stream *));
    }
    if (!stream_table)
        fail_with_runtime_error(RUNTIME_ERROR_STDIO);

    for (int i = 0; i < BUILTIN_STREAMS; i++) {
        fill_bytes(&builtin_streams[i], 0, sizeof(stream));
        builtin_streams[i].handle = i < 3 ? i : -1;
        stream_table[i] = &builtin_streams[i];
    }
    /* Only the error stream is ever written; the others stay idle so that
       the exit flush finds nothing in them. */
    error_stream->mode = STREAM_WRITE;

    for (int i = 0; i < 3; i++) {
        HANDLE handle = find_slot(i)->handle;
        if (handle == INVALID_HANDLE_VALUE || handle == 0)
            builtin_streams[i].handle = -1;
    }
}

static int slot_has(int number, unsigned char flag)
{
    handle_slot *slot = find_slot(number);
    return slot && (slot->flags & flag);
}

static void take_own_buffer(stream *s)
{
    s->buffer = (char *)allocate(STREAM_BUFFER_SIZE);
    if (!s->buffer) {
        s->marks |= STREAM_UNBUFFERED;
        return;
    }
    s->size = STREAM_BUFFER_SIZE;
    s->position = s->buffer;
}

/* Moves a file position to the end without writing, as an append write of
   nothing would. */
static void seek_append_end(int number)
{
    handle_slot *slot = find_slot(number);
    if (slot && (slot->flags & SLOT_APPEND))
        move_to_end(slot);
}

int put_stream_char(stream *s, int c)
{
    if (s->room > 0) {
        *s->position++ = (char)c;
        s->room--;
        return c & 0xFF;
    }
    s->mode |= STREAM_WRITE;
    s->room = 0;
    if (!s->buffer && !(s->marks & STREAM_UNBUFFERED) && !slot_has(s->handle, SLOT_DEVICE))
        take_own_buffer(s);

    if (s->buffer) {
        int held = (int)(s->position - s->buffer);
        int written = 0;
        s->position = s->buffer + 1;
        s->room = s->size - 1;
        if (held > 0)
            written = write_handle(s->handle, s->buffer, (unsigned)held);
        else
            seek_append_end(s->handle);
        s->buffer[0] = (char)c;
        return written == held ? c & 0xFF : -1;
    }
    char single = (char)c;
    return write_handle(s->handle, &single, 1) == 1 ? c & 0xFF : -1;
}

int flush_stream(stream *s)
{
    int result = 0;
    if ((s->mode & (STREAM_READ | STREAM_WRITE)) == STREAM_WRITE && s->buffer) {
        int held = (int)(s->position - s->buffer);
        if (held > 0 && write_handle(s->handle, s->buffer, (unsigned)held) != held)
            result = -1;
    }
    s->position = s->buffer;
    s->room = 0;
    return result;
}

void flush_all_streams(void)
{
    for (int i = 0; i < stream_table_size && stream_table; i++) {
        stream *s = stream_table[i];
        if (s && (s->mode & (STREAM_READ | STREAM_WRITE)))
            flush_stream(s);
    }
}
