/*
 * What becomes of a message that does not reach standard error whole: the
 * runtime asks the program, and each build answers (builds/): lost, as for
 * any console program, or kept and shown some other way as the process
 * ends.
 */
#ifndef RUNTIME_UNWRITTEN_H
#define RUNTIME_UNWRITTEN_H

/* Every piece of a message on its way to standard error, as it is meant,
   before it is written; `missing` when there is no standard error at all.
   Returns nonzero when the build takes the piece instead of the write: the
   write, bound to fail, is then not made, so its failure cannot replace the
   reason the message reports.  Otherwise the write is made, as for any
   console program. */
int keep_message(const char *text, unsigned count, int missing);

/* A message did not reach standard error whole: a write failed or fell
   short. */
void lose_message(void);

/* Called once as the process ends, just before the platform's exit. */
void show_unwritten_messages(void);

#endif
