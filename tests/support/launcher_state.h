/* The launcher's process state in host builds, where one test, fuzz or
   benchmark process stands in for many launcher processes: each case starts
   from a fresh simulated platform and fresh launcher state. */
#ifndef TESTS_SUPPORT_LAUNCHER_STATE_H
#define TESTS_SUPPORT_LAUNCHER_STATE_H

#include "platform/sim/sim.h"

/* Puts every piece of launcher state back to what a new process has. */
void reset_launcher_state();
/* What from_shim_file keeps; in the named launcher's build only. */
void reset_shim_state();
/* Start-up without the command line: heap, handle table, lead-byte set,
   environment snapshot and streams, from the simulated platform. */
void start_runtime();
/* Runs the whole program from its entry and returns how it ended. */
sim::exit_signal run_whole_program();

#endif
