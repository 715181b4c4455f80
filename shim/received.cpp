/*
 * What a named launcher takes from its process.  It never splits its
 * command line, and passes what follows its program name on as it stands;
 * of the environment it needs PATH alone, read before any env line changes
 * it.  One that does not fit is reported once the file is named.
 */
#include "shim/named_start.h"
#include "runtime/arguments.h"
#include "runtime/environment.h"
#include "runtime/exit.h"
#include "runtime/lead_bytes.h"

/* PATH, as received and again once the env lines have had their say, and
   the length it was received with. */
static WCHAR path[VARIABLE_SIZE];
static DWORD received_length;
static char *command_line;
/* PATH as the launcher was started with it, for a bare path: env lines may
   change the PATH the command gets, never where it is looked for. */
static char *search_path;

void take_received_texts(void)
{
    command_line = read_command_line();
    if (!command_line)
        exit_normally(-1);
    received_length = GetEnvironmentVariableW(path_name, path, VARIABLE_SIZE);
    int no_memory = 0;
    if (received_length && received_length < VARIABLE_SIZE)
        search_path = convert_to_ansi(path, (int)received_length + 1, &no_memory);
    if (no_memory)
        fail_with_runtime_error(RUNTIME_ERROR_ENVIRONMENT);
}

const char *get_received_tail(void)
{
    return find_argument_tail(command_line);
}

const char *get_received_path(void)
{
    return search_path;
}

/* PATH as the env lines left it: whatever a variable holds, the 32767
   characters of the platform, as received too, since a bare path is looked
   for through that one. */
int read_named_path(const WCHAR **value, DWORD *length)
{
    *value = path;
    *length = GetEnvironmentVariableW(path_name, path, VARIABLE_SIZE);
    if (*length >= VARIABLE_SIZE || received_length >= VARIABLE_SIZE)
        return report_shim_mistake(SHIM_TOO_LONG);
    if (*length == 0)
        path[0] = 0;
    return 0;
}

void reset_received_texts(void)
{
    search_path = 0;
    received_length = 0;
}
