/*
 * A message kept for where nobody may be watching.  A build without a
 * console of its own may have no standard error, or one that refuses the
 * message; it keeps every message whole, as it is meant, while it is
 * written, and shows the one that did not reach standard error as the
 * process ends: in a message box where the build may show one and a user
 * can see it, else in the debugger output and the Application event log.
 * The exit code is the same either way.
 */
#ifndef RUNTIME_KEPT_MESSAGE_H
#define RUNTIME_KEPT_MESSAGE_H

#include "platform/kernel32.h"

/* Keeps a piece of a message, every byte of it; `missing`: it has no
   standard error to go to, so the message is lost there.  Returns
   `missing`, as keep_message does (runtime/unwritten.h). */
int keep_message_piece(const char *text, unsigned count, int missing);

/* A message did not reach standard error whole. */
void mark_message_lost(void);

/* Once, as the process ends: the message kept, when one was lost, without
   the line ends that open and close it, shown as show_message says. */
void show_lost_message(int box_allowed);

/* Puts the kept message back to none, as in a new process (host tests). */
void reset_kept_message(void);

/* A message of `length` units: in a box titled with the program's file
   name when `box_allowed` and the window station is one a user can see
   (runtime/show_message.cpp), else in the debugger output and in the
   Application event log, where the text may be cut to the log's limit. */
void show_message(WCHAR *text, unsigned length, int box_allowed);

#endif
