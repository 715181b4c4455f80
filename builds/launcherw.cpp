/*
 * launcherw.exe: the launcher for the Windows subsystem, so that a shortcut
 * opens no console window.  Started from a shortcut it usually has no
 * standard error; a failure must not be silent then, so the message it
 * could not write is shown in a message box as the process ends, with the
 * same exit code.  USER32 is loaded only for that box: a successful start
 * never touches it, and the import table stays KERNEL32 alone.
 */
#include "builds/build.h"
#include "runtime/bytes.h"
#include "runtime/exit.h"

/* Room for the longest message, a run-time error's three lines. */
enum { KEPT_SIZE = 256, MODULE_SIZE = 261 };

static char kept[KEPT_SIZE];
static unsigned kept_length;

typedef int(WINAPI *message_box_function)(HWND, LPCSTR, LPCSTR, UINT);

DWORD get_start_flags(void)
{
    return 0;
}

int finish_start(PROCESS_INFORMATION *)
{
    exit_quickly(0);
}

int keep_unwritten_message(const char *text, unsigned count)
{
    while (count-- && kept_length < KEPT_SIZE - 1)
        kept[kept_length++] = *text++;
    return 1;
}

static int is_line_end(char c)
{
    return c == '\r' || c == '\n';
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

/* The program's file name, as the user sees it in the shortcut. */
static const char *get_program_name(char *module)
{
    GetModuleFileNameA(0, module, MODULE_SIZE - 1);
    const char *name = module;
    for (const char *at = module; *at; at++)
        if (*at == '\\' || *at == '/')
            name = at + 1;
    return name;
}

void show_unwritten_messages(void)
{
    if (kept_length == 0)
        return;
    const char *text = trim_line_ends();
    kept_length = 0; /* shown once, whatever follows */
    HMODULE user = LoadLibraryA("USER32.dll");
    message_box_function show =
        user ? (message_box_function)(void (*)(void))GetProcAddress(user, "MessageBoxA") : 0;
    if (!show)
        return;
    char module[MODULE_SIZE];
    fill_bytes(module, 0, sizeof module);
    show(0, text, get_program_name(module), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}
