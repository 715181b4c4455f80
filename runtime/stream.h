/*
 * Buffered streams.  The table has 512 entries (20 when memory is short);
 * entries 0 to 19 are the built-in records, and entry 2 is the error stream,
 * the only one the launcher writes.
 *
 * A stream record: the handle number it writes through (-1 names no slot),
 * its mode, its current buffer with size, write position and room left, and
 * marks.  The buffer is either the stream's own (taken at the first character
 * on a file or pipe and kept) or the temporary buffer lent for the span of one
 * print_error_stream call on a character device.  An unbuffered stream, one
 * that could not get memory, writes each character on its own.
 */
#ifndef RUNTIME_STREAM_H
#define RUNTIME_STREAM_H

enum { STREAM_READ = 0x01, STREAM_WRITE = 0x02 };
enum { STREAM_LENT = 0x01, STREAM_FLUSH_ON_RETURN = 0x02, STREAM_UNBUFFERED = 0x04 };
enum { STREAM_BUFFER_SIZE = 4096, BUILTIN_STREAMS = 20, STREAM_TABLE_SIZE = 512 };

struct stream {
    int handle;
    unsigned char mode;
    unsigned char marks;
    char *buffer;
    int size;
    char *position;
    int room;
};

extern stream builtin_streams[BUILTIN_STREAMS];
extern stream **stream_table;
extern int stream_table_size;
/* Lent to the error stream on a character device; allocated at the first
   lending and kept for the life of the process. */
extern char *temporary_buffer;

#define error_stream (&builtin_streams[2])

void init_streams(void);
/* Stores one character, writing out a full buffer first; the character, or
   -1 when the write failed. */
int put_stream_char(stream *s, int c);
int flush_stream(stream *s);
void flush_all_streams(void);

#endif
