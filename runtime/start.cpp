/*
 * The process entry: builds, in a fixed order, everything the launcher runs
 * on, calls the launcher's main routine and ends the process with its
 * status.  Everything built here lives until the process ends.
 */
#include "runtime/start.h"
#include "platform/kernel32.h"
#include "runtime/arguments.h"
#include "runtime/environment.h"
#include "runtime/exit.h"
#include "runtime/fault.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/stream.h"

static void start_and_run(void)
{
    int without_console = prepare_console();
    init_handle_table();
    if (without_console)
        free_missing_standard_slots();
    init_lead_bytes();
    take_process_texts();
    init_streams();
    exit_normally(run_main(argument_count, argument_vector, environment_snapshot));
}

void run_program(void)
{
    if (create_heap() != 0)
        fail_with_runtime_error(RUNTIME_ERROR_HEAP);
    run_guarded(start_and_run);
    exit_quickly(-1); /* not reached: the body always ends the process */
}
