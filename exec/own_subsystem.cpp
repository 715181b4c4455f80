/*
 * The launcher's own subsystem, from the header the loader has in memory:
 * a package manager may copy the console build with its PE subsystem field
 * set to GUI, for a GUI program, and that copy is started as one.
 */
#include "exec/exec.h"
#include "exec/program_header.h"
#include "runtime/handle_table.h"

int is_own_gui_program(void)
{
    const BYTE *image = (const BYTE *)GetModuleHandleA(0);
    const BYTE *header = image + read_block_word(image + NEW_HEADER_AT);
    return read_header_word(header + SUBSYSTEM_AT) == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}
