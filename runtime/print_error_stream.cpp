/*
 * Bare messages through the error stream.  On a console the stream borrows
 * the temporary buffer for one call, so that a message leaves in a single
 * write instead of one per character; on a file or pipe it keeps its own
 * buffer, which the normal exit flushes.
 */
#include "runtime/bytes.h"
#include "runtime/error_reporting.h"
#include "runtime/heap.h"
#include "runtime/stream.h"

char *temporary_buffer;

static int lend_temporary_buffer(stream *s)
{
    handle_slot *slot = find_slot(s->handle);
    if (!slot || !(slot->flags & SLOT_DEVICE))
        return 0;
    if (s->buffer || (s->marks & STREAM_UNBUFFERED))
        return 0;
    if (!temporary_buffer)
        temporary_buffer = (char *)allocate(STREAM_BUFFER_SIZE);
    if (!temporary_buffer)
        return 0;
    s->buffer = temporary_buffer;
    s->position = temporary_buffer;
    s->size = STREAM_BUFFER_SIZE;
    s->room = STREAM_BUFFER_SIZE;
    s->mode |= STREAM_WRITE;
    s->marks |= STREAM_LENT | STREAM_FLUSH_ON_RETURN;
    return 1;
}

static void detach_temporary_buffer(stream *s)
{
    s->buffer = 0;
    s->position = 0;
    s->size = 0;
    s->room = 0;
    s->marks &= (unsigned char)~(STREAM_LENT | STREAM_FLUSH_ON_RETURN);
}

int print_error_stream(const char *message)
{
    unsigned length = (unsigned)text_length(message);
    if (keep_if_unwritable(get_error_handle(), message, length))
        return (int)length;
    stream *s = error_stream;
    int lent = lend_temporary_buffer(s);
    int written = 0;
    for (const char *c = message; *c; c++) {
        if (put_stream_char(s, (unsigned char)*c) < 0) {
            written = -1;
            break;
        }
        written++;
    }
    if (lent) {
        flush_stream(s);
        detach_temporary_buffer(s);
    }
    return written;
}
