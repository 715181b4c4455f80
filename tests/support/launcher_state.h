/* The launcher's process state in host builds, where one test, fuzz or
   benchmark process stands in for many launcher processes: each case starts
   from a fresh simulated platform and fresh launcher state. */
#ifndef TESTS_SUPPORT_LAUNCHER_STATE_H
#define TESTS_SUPPORT_LAUNCHER_STATE_H

#include "exec/exec.h"
#include "platform/sim/sim.h"

/* Puts every piece of launcher state back to what a new process has. */
void reset_launcher_state();
/* Start-up without the command line: heap, handle table, lead-byte set,
   environment snapshot and streams, from the simulated platform. */
void start_runtime();
/* Runs the whole program from its entry and returns how it ended. */
sim::exit_signal run_whole_program();
/* A search record as launcher.exe's sequence makes it: PATH from the
   snapshot, every candidate taken. */
command_search make_search(command_words words, char **environment = nullptr);
/* Passes exec's result on; a started command ends the run as the sequence
   ends it (the process's own view back, then the build's finish). */
int finish_if_started(int result, command_search *search);

#endif
