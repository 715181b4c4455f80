/*
 * The width of the handles in the block a command gets.  A program's C
 * runtime reads the block with handles as wide as its own pointers and does
 * not check the block's size: a 64-bit program given 4-byte handles would
 * take two of them for one, and its standard output could land in the
 * file its standard error was redirected to.  So the block is written in
 * the command's width, known from the machine field of the found file's
 * executable header.  The same read gives the subsystem, by which a
 * named launcher knows a GUI program (exec/wait_for_command.cpp).
 */
#include "exec/exec.h"
#include "exec/program_header.h"
#include "arch/native_view.h"
#include "runtime/bytes.h"
#include "runtime/handle_table.h"

/* What the header names; 0 for a field that could not be read. */
struct program_header {
    WORD machine;
    WORD subsystem;
};

struct machine_width {
    WORD machine;
    BYTE width;
};

static const machine_width machine_widths[] = {
    {0x014C, BLOCK_WIDTH_32}, /* x86 */
    {0x01C4, BLOCK_WIDTH_32}, /* ARM, 32-bit */
    {0x0200, BLOCK_WIDTH_64}, /* Itanium */
    {0x8664, BLOCK_WIDTH_64}, /* x64, and ARM64EC */
    {0xAA64, BLOCK_WIDTH_64}, /* ARM64 */
};

static int read_exactly(HANDLE file, BYTE *bytes, DWORD count)
{
    DWORD read;
    return ReadFile(file, bytes, count, &read, 0) && read == count;
}

/* The machine and subsystem fields, in one read from the PE header on: a
   file that ends after the machine field still has its width. */
static program_header read_header(HANDLE handle)
{
    program_header found = {0, 0};
    if (handle == INVALID_HANDLE_VALUE)
        return found;
    BYTE header[SUBSYSTEM_END];
    DWORD read;
    if (read_exactly(handle, header, DOS_HEADER_SIZE) && header[0] == 'M' && header[1] == 'Z') {
        DWORD at = read_block_word(header + NEW_HEADER_AT);
        if (SetFilePointer(handle, (LONG)at, 0, FILE_BEGIN) == at &&
            ReadFile(handle, header, SUBSYSTEM_END, &read, 0) && read >= MACHINE_END &&
            header[0] == 'P' && header[1] == 'E' && header[2] == 0 && header[3] == 0) {
            found.machine = read_header_word(header + MACHINE_AT);
            if (read == SUBSYSTEM_END)
                found.subsystem = read_header_word(header + SUBSYSTEM_AT);
        }
    }
    return found;
}

/* CreateProcessA hands a file ending in ".bat" or ".cmd" to the command
   interpreter. */
static int is_batch_file(const char *file)
{
    size_t length = text_length(file);
    const char *end = file + length;
    if (length < 4 || end[-4] != '.')
        return 0;
    char a = (char)(end[-3] | 0x20), b = (char)(end[-2] | 0x20), c = (char)(end[-1] | 0x20);
    return (a == 'b' && b == 'a' && c == 't') || (a == 'c' && b == 'm' && c == 'd');
}

/* The width the machine field names, or 0 for a machine of no known
   width. */
static unsigned find_machine_width(WORD machine)
{
    for (const machine_width &known : machine_widths)
        if (known.machine == machine)
            return known.width;
    return 0;
}

HANDLE open_found_file(const char *file)
{
    if (is_batch_file(file))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       0, OPEN_EXISTING, 0, 0);
}

unsigned read_program_width(const char *file)
{
    HANDLE handle = CreateFileA(file, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                                OPEN_EXISTING, 0, 0);
    unsigned width = find_machine_width(read_header(handle).machine);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return width;
}

unsigned find_handle_width(const char *file, HANDLE opened, int *gui_program)
{
    *gui_program = 0;
    if (is_batch_file(file))
        return find_interpreter_width();
    program_header header = read_header(opened);
    *gui_program = header.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
    unsigned width = find_machine_width(header.machine);
    return width ? width : get_own_handle_width();
}
