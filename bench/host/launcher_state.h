/* The launcher's process state in a host build, where one benchmark process
   stands in for many launcher processes: each scenario starts from a fresh
   simulated platform and fresh launcher state. */
#ifndef BENCH_HOST_LAUNCHER_STATE_H
#define BENCH_HOST_LAUNCHER_STATE_H

/* Puts every piece of launcher state back to what a new process has. */
void reset_launcher_state();
/* Start-up without the command line: heap, handle table, lead-byte set,
   environment snapshot and streams, from the simulated platform. */
void start_runtime();

#endif
