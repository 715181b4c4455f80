/*
 * The process environment as the launcher holds it: a block read once from
 * the platform (the strings one after another, each zero-terminated, then one
 * more zero), and the environment snapshot built from it: a null-terminated
 * vector of separately allocated copies, without the strings that begin with
 * "=".  Nothing changes the snapshot after start-up.
 */
#ifndef RUNTIME_ENVIRONMENT_H
#define RUNTIME_ENVIRONMENT_H

#include "runtime/bytes.h"

/* PATH's name as the wide calls take it: one literal, wherever it is used. */
inline constexpr auto path_name = WIDE("PATH");

enum { SOURCE_UNCHOSEN, SOURCE_WIDE, SOURCE_SINGLE_BYTE };

/* Chosen at the first read and kept: later reads use the same source. */
extern int environment_source;
extern char **environment_snapshot;

/* A fresh copy of the live environment block, owned by the caller, or null. */
char *read_os_environment(void);
/* Builds the snapshot from a block of read_os_environment and releases it. */
void build_environment_snapshot(char *block);

#endif
