#include "tests/support/launcher_state.h"

#include "arch/native_view.h"
#include "builds/build.h"
#include "runtime/arguments.h"
#include "runtime/environment.h"
#include "runtime/error_number.h"
#include "runtime/exit.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"
#include "runtime/start.h"
#include "runtime/stream.h"
#include "runtime/trace.h"

#include <cstring>

void reset_launcher_state()
{
    std::memset(handle_groups, 0, sizeof handle_groups);
    handle_count = 0;
    error_number = 0;
    os_error_code = 0;
    std::memset(builtin_streams, 0, sizeof builtin_streams);
    stream_table = nullptr;
    stream_table_size = 0;
    temporary_buffer = nullptr;
    exit_reached = 0;
    environment_source = SOURCE_UNCHOSEN;
    environment_snapshot = nullptr;
    argument_count = 0;
    argument_vector = nullptr;
    std::memset(lead_bytes, 0, sizeof lead_bytes);
    comparison_locale = 0;
    trace_level = TRACE_OFF;
    reset_build_state();
    reset_request_source();
    reset_native_view();
}

void start_runtime()
{
    create_heap();
    init_handle_table();
    init_lead_bytes();
    build_environment_snapshot(read_os_environment());
    init_streams();
}

sim::exit_signal run_whole_program()
{
    try {
        run_program();
    } catch (const sim::exit_signal &end) {
        return end;
    }
}

static const char *get_snapshot_path()
{
    return get_snapshot_variable("PATH");
}

command_search make_search(command_words words, char **environment)
{
    command_search search = {};
    search.words = words;
    search.environment = environment;
    search.get_search_path = get_snapshot_path;
    search.prepare_start = prepare_start;
    return search;
}

int finish_if_started(int result, command_search *search)
{
    if (result == EXEC_STARTED) {
        leave_native_view();
        finish_start(&search->process, 0);
    }
    return result;
}
