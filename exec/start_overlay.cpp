/*
 * The hand-over: the command is started as a new process that inherits the
 * console, every inheritable handle, the live environment and the current
 * directory; the caller then decides how the launcher ends (at once with 0,
 * or after the command with its exit code).  The handle table goes along in
 * the handle inheritance block, so the command sees the same low-level
 * handles the launcher had.
 */
#include "exec/exec.h"
#include "runtime/bytes.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "runtime/trace.h"

/*
 * The command line is the name, then the arguments joined by single spaces,
 * nothing quoted: the launcher's own splitting already removed the quotes
 * the user typed, and the command gets its arguments as the launcher
 * received them, byte for byte.  A single empty argument after the name
 * adds nothing, so a command line never ends in one stray space.  Where the
 * name is the file found, it is quoted, since a path may hold blanks.
 */
static char *join_arguments(const char *file, const command_words *words)
{
    size_t size = 2 + (words->name ? text_length(words->name) + 1 : text_length(file) + 3);
    for (char **argument = words->arguments; *argument; argument++)
        size += text_length(*argument) + 1;
    char *line = (char *)allocate(size);
    if (!line)
        return 0;
    char *end = words->name ? copy_text(line, words->name)
                            : copy_text(copy_text(copy_text(line, "\""), file), "\"");
    char **later = words->arguments;
    int later_part_empty = !later[0] || (!later[1] && !later[0][0]);
    if (!later_part_empty) {
        for (char **argument = later; *argument; argument++)
            end = copy_text(copy_text(end, " "), *argument);
    }
    return line;
}

static int count_described_slots(void)
{
    int n = handle_count;
    while (n > 0 && find_slot(n - 1)->flags == 0)
        n--;
    return n;
}

/* Slots the launcher keeps to itself go as free slots; the handles are as
   wide as the command's own. */
static BYTE *build_handle_block(WORD *size, unsigned width)
{
    int n = count_described_slots();
    *size = (WORD)(4 + n + n * width);
    BYTE *block = (BYTE *)allocate_zeroed(*size);
    if (!block)
        return 0;
    write_block_word(block, (DWORD)n);
    for (int i = 0; i < n; i++) {
        handle_slot *slot = find_slot(i);
        int inherited = !(slot->flags & SLOT_NO_INHERIT);
        block[4 + i] = inherited ? slot->flags : 0;
        write_block_handle(block + 4 + n + width * i,
                           inherited ? slot->handle : INVALID_HANDLE_VALUE, width);
    }
    return block;
}

/* Only "=X:=X:\dir" entries: other hidden "=" entries ("=ExitCode=...",
   "=::=::\") describe the launcher, not the drives, and are not passed on. */
static int is_drive_directory(const char *entry)
{
    char letter = (char)(entry[1] | 0x20);
    return entry[0] == '=' && letter >= 'a' && letter <= 'z' && entry[2] == ':' && entry[3] == '=';
}

/* An environment of the caller's own keeps the live drive-directory entries
   first, so the command still knows each drive's current directory. */
static char *build_environment_block(char **environment)
{
    char *live = read_os_environment();
    if (!live)
        return 0;
    size_t size = 2;
    for (char *at = live; *at; at += text_length(at) + 1)
        if (is_drive_directory(at))
            size += text_length(at) + 1;
    for (char **entry = environment; *entry; entry++)
        size += text_length(*entry) + 1;

    char *block = (char *)allocate(size);
    if (block) {
        char *end = block;
        for (char *at = live; *at; at += text_length(at) + 1)
            if (is_drive_directory(at))
                end = copy_text(end, at) + 1;
        for (char **entry = environment; *entry; entry++)
            end = copy_text(end, *entry) + 1;
        end[0] = 0;
        end[1] = 0;
    }
    release(live);
    return block;
}

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "the start-up information is 68 bytes on 32-bit Windows");
#endif

static int fail_for_memory(void)
{
    set_error(NOT_ENOUGH_SPACE, ERROR_NOT_ENOUGH_MEMORY);
    return EXEC_FAILED;
}

int start_overlay(const char *file, unsigned width, command_search *search)
{
    char **environment = search->environment;
    char *command_line = join_arguments(file, &search->words);
    if (!command_line)
        return fail_for_memory();
    WORD block_size;
    BYTE *block = build_handle_block(&block_size, width);
    char *environment_block = block && environment ? build_environment_block(environment) : 0;
    if (!block || (environment && !environment_block)) {
        release(block);
        release(command_line);
        return fail_for_memory();
    }

    trace_full_path("found ", file);
    trace_number("handle width ", width);
    trace_line("command line ", command_line, 0);
    /* A dry run has built all a start needs and creates nothing. */
    if (is_dry_run()) {
        release(block);
        return EXEC_STARTED;
    }

    STARTUPINFOA startup;
    fill_bytes(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.cbReserved2 = block_size;
    startup.lpReserved2 = block;
    DWORD flags = search->prepare_start ? search->prepare_start(&startup) : 0;
    set_error(NO_ERROR_NUMBER, ERROR_SUCCESS);
    BOOL started = CreateProcessA(file, command_line, 0, 0, TRUE, flags, environment_block, 0,
                                  &startup, &search->process);
    DWORD last_error = GetLastError();
    release(block);
    /* The command line and the environment are left to the end of the
       process, which a start is followed by (release_unless_started). */
    if (started)
        return EXEC_STARTED;
    map_os_error(last_error);
    trace_outcome("start ", file, -1);
    release(environment_block);
    release(command_line);
    return EXEC_FAILED;
}
