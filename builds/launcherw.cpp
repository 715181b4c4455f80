/*
 * launcherw.exe: the launcher for the Windows subsystem, so that a shortcut
 * opens no console window.  A windowless launcher must never fail silently:
 * started from a shortcut it usually has no standard error, and one it was
 * given may refuse the message (a read-only file, a closed handle).  So
 * every message is kept as it is meant while it is written, and when it did
 * not reach standard error whole it is shown in a message box as the
 * process ends, with the same exit code.  USER32 is loaded only for that
 * box: a successful start never touches it, and the import table stays
 * KERNEL32 alone.  Started from a shortcut, it passes the shortcut's window
 * state ("Run: Minimized") on to the command, whose window it is.
 */
#include "builds/build.h"
#include "runtime/bytes.h"
#include "runtime/exit.h"
#include "runtime/limits.h"

/* Room for a message as a box shows it.  A longer one (a value of
   thousands of characters in it) keeps its beginning, which says what
   failed and why, and its end, which names the file, with "..." between. */
enum {
    BEGINNING_SIZE = 1024,
    END_SIZE = 1020,
    KEPT_SIZE = BEGINNING_SIZE + sizeof "..." + END_SIZE
};

static char kept[KEPT_SIZE];
static unsigned kept_length;
/* What came after the beginning: its last END_SIZE bytes, in a ring. */
static char end_ring[END_SIZE];
static unsigned end_count;
static int lost;
/* The box is wide so that the title is the true file name: an ANSI title
   would turn a character the code page lacks into a look-alike. */
static WCHAR wide_text[KEPT_SIZE];
static WCHAR module[LONG_PATH_SIZE];

typedef int(WINAPI *message_box_function)(HWND, LPCWSTR, LPCWSTR, UINT);

DWORD prepare_start(STARTUPINFOA *startup)
{
    copy_window_state(startup);
    return 0;
}

/* Without a console of its own there is none to let go. */
void finish_start(PROCESS_INFORMATION *, int)
{
    exit_quickly(0);
}

int keep_message(const char *text, unsigned count, int missing)
{
    for (; count; count--, text++) {
        if (kept_length < BEGINNING_SIZE)
            kept[kept_length++] = *text;
        else
            end_ring[end_count++ % END_SIZE] = *text;
    }
    if (missing)
        lost = 1;
    return missing;
}

void lose_message(void)
{
    lost = 1;
}

static int is_line_end(char c)
{
    return c == '\r' || c == '\n';
}

/* The beginning and the end joined, with "..." where bytes between them
   were dropped. */
static void join_end(void)
{
    unsigned from = 0, count = end_count;
    if (end_count > END_SIZE) {
        kept_length = (unsigned)(copy_text(kept + kept_length, "...") - kept);
        from = end_count % END_SIZE;
        count = END_SIZE;
    }
    for (unsigned i = 0; i < count; i++)
        kept[kept_length++] = end_ring[(from + i) % END_SIZE];
}

/* The text between the line ends that open and close a message. */
static const char *trim_line_ends(void)
{
    while (kept_length > 0 && is_line_end(kept[kept_length - 1]))
        kept_length--;
    kept[kept_length] = 0;
    const char *text = kept;
    while (is_line_end(*text))
        text++;
    return text;
}

/* The program's file name, as the user sees it in the shortcut.  The last
   unit of the buffer is never offered, so the name always ends there. */
static const WCHAR *get_program_name(void)
{
    GetModuleFileNameW(0, module, LONG_PATH_SIZE - 1);
    const WCHAR *name = module;
    for (const WCHAR *at = module; *at; at++)
        if (*at == '\\' || *at == '/')
            name = at + 1;
    return name;
}

void show_unwritten_messages(void)
{
    if (!lost || kept_length == 0)
        return;
    join_end();
    const char *text = trim_line_ends();
    kept_length = 0; /* shown once, whatever follows */
    lost = 0;
    HMODULE user = LoadLibraryA("USER32.dll");
    message_box_function show =
        user ? (message_box_function)(void (*)(void))GetProcAddress(user, "MessageBoxW") : 0;
    if (!show)
        return;
    /* Room for every byte kept, so the conversion always fits.  Should it
       fail all the same, each byte stands for itself: every ASCII character
       of the message shows, rather than an empty box. */
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide_text, KEPT_SIZE)) {
        unsigned i = 0;
        for (; text[i]; i++)
            wide_text[i] = (unsigned char)text[i];
        wide_text[i] = 0;
    }
    show(0, wide_text, get_program_name(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void reset_build_state(void)
{
    kept_length = 0;
    end_count = 0;
    lost = 0;
}
