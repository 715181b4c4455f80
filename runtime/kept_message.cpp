/*
 * The message kept whole, however long: a named launcher's message names
 * its file and may quote a line of up to 64 KiB, and a message cut at a
 * buffer's size would leave out what the user most needs.  It is kept in
 * UTF-16, as the box and the event log take it, converted piece by piece:
 * a piece is always a whole text, never half a character.
 */
#include "runtime/kept_message.h"
#include "runtime/bytes.h"
#include "runtime/heap.h"

/* Every start-up failure's message fits here: the heap may not exist yet
   when one is kept.  A longer message moves to the heap. */
enum { FIRST_SIZE = 128 };

static WCHAR first[FIRST_SIZE];
static WCHAR *moved; /* null while the message is in the first buffer */
static unsigned kept_length, moved_size;
static int lost;
/* No memory for a piece: the message is kept as far as it came, since a
   piece left out in the middle would change what it says. */
static int full;

static WCHAR *find_kept(void)
{
    return moved ? moved : first;
}

/* Room for `needed` units; 0 when there is no memory for them. */
static int make_room(unsigned needed)
{
    if (needed <= (moved ? moved_size : (unsigned)FIRST_SIZE))
        return 1;
    WCHAR *larger = (WCHAR *)allocate(needed * sizeof(WCHAR));
    if (!larger)
        return 0;
    copy_bytes(larger, find_kept(), kept_length * sizeof(WCHAR));
    release(moved);
    moved = larger;
    moved_size = needed;
    return 1;
}

/* A byte of any code page, UTF-8 included, gives at most one unit.  A
   piece the conversion refuses is kept a byte a unit, which shows its
   ASCII, rather than left out: the message would say something else, or
   nothing at all. */
static unsigned convert_piece(const char *text, unsigned count, WCHAR *to)
{
    int units = MultiByteToWideChar(CP_ACP, 0, text, (int)count, to, (int)count);
    if (units > 0)
        return (unsigned)units;
    for (unsigned i = 0; i < count; i++)
        to[i] = (unsigned char)text[i];
    return count;
}

int keep_message_piece(const char *text, unsigned count, int missing)
{
    if (count && !full) {
        if (make_room(kept_length + count + 1))
            kept_length += convert_piece(text, count, find_kept() + kept_length);
        else
            full = 1;
    }
    if (missing)
        lost = 1;
    return missing;
}

void mark_message_lost(void)
{
    lost = 1;
}

static int is_line_end(WCHAR c)
{
    return c == '\r' || c == '\n';
}

void show_lost_message(int box_allowed)
{
    if (!lost || kept_length == 0)
        return;
    unsigned length = kept_length;
    kept_length = 0; /* shown once, whatever follows */
    lost = 0;
    WCHAR *text = find_kept();
    while (length > 0 && is_line_end(text[length - 1]))
        length--;
    text[length] = 0;
    for (; is_line_end(*text); length--)
        text++;
    show_message(text, length, box_allowed);
}

void reset_kept_message(void)
{
    moved = 0;
    kept_length = 0;
    lost = 0;
    full = 0;
}
