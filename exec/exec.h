/*
 * Command execution: find the command and start it.
 *
 * Candidates are built in buffers of their own; the caller's name and
 * argument vector are never changed.  Every search for "\", "/", ":" and "."
 * steps over double-byte characters, so the second byte of one is never taken
 * for a separator.  What exec needs of its caller beyond the command (the
 * PATH to search, its say on each candidate, what is done before each
 * start) comes in the search record, and the started process goes back in
 * it: exec never ends the launcher, its caller decides how the start ends.
 */
#ifndef EXEC_EXEC_H
#define EXEC_EXEC_H

#include "platform/kernel32.h"

#include <stddef.h>

/* What the started program's command line is made of: its name, then the
   arguments after it, joined by single spaces.  Nothing is quoted or
   escaped but the name, and that only where it is the file found. */
struct command_words {
    const char *name;  /* the command as the user typed it; null: the file
                          found, in double quotes */
    char **arguments;  /* null-terminated; a single empty one adds nothing */
};

/* What the caller makes of a candidate that exists. */
enum {
    CANDIDATE_TAKEN,       /* started */
    CANDIDATE_PASSED_OVER, /* with the error number set, as a start that
                              failed so: the search goes on as it says */
    CANDIDATE_REFUSED      /* the search ends; the caller says why */
};

/* How a search or a start ends.  A failure leaves the error number of the
   last attempt. */
enum { EXEC_FAILED = -1, EXEC_STARTED = 0, EXEC_REFUSED = 1 };

/* One search and start as the caller describes it.  The functions may be
   null: no PATH, every candidate taken, nothing done before a start. */
struct command_search {
    command_words words;
    /* The command's environment; null: the launcher's own. */
    char **environment;
    /* The PATH the launcher was started with, asked for only when a bare
       name is looked for there. */
    const char *(*get_search_path)(void);
    /* Asked about each candidate that exists: CANDIDATE_TAKEN, ...  The
       file comes open, as its header is read (open_found_file), so the
       caller can tell which file it is without opening it again. */
    int (*check_candidate)(const char *file, HANDLE opened);
    /* Called once a candidate is taken and its header read, the file still
       open, before its start: what the caller passes on to the command in
       the environment it inherits (a named launcher's chain). */
    void (*pass_on)(const char *file, HANDLE opened);
    /* Called just before each CreateProcessA with the command's start-up
       information, which it may add to: the creation flags added. */
    DWORD (*prepare_start)(STARTUPINFOA *startup);
    /* The command's process and thread, once started. */
    PROCESS_INFORMATION process;
    /* Whether the file started is a GUI program, as its header says: one
       that makes no use of the console it is started from. */
    int gui_program;
};

/* A start is followed by the end of the process, at once or once the
   command has ended: what the search and the start built for it (the
   candidate, the command line) is left to that end, as what start-up built
   is, rather than freed call by call on the way to it. */
void release_unless_started(void *buffer, int result);

/* The name itself (".\" in front of a bare name), then, for a bare name that
   was not found, each directory of the PATH taken at start-up. */
int exec_search_path(const char *name, command_search *search);
/* A bare name through the directories of PATH alone, never the working
   directory: only its absolute entries ("C:\x", "\\server\x"), passing
   over those that depend on the current directory and those too long to
   hold a file name.  A name with a directory part exactly where it says. */
int exec_search_path_only(const char *name, command_search *search);
/* The shapes of a path (path_shape.cpp).  A bare name has no directory
   part: no "\" or "/", and no drive in front. */
int is_bare_name(const char *name);
/* Whether the first length bytes end in a separator. */
int ends_in_separator(const char *directory, size_t length);
/* The three shapes every path has one of: "C:\x" or "\\server\x"; "C:x",
   "C:" or "\x", which a current directory completes; "x" or "..\x". */
int is_absolute_path(const char *path);
int depends_on_current_directory(const char *path);
int is_relative_path(const char *path);
/* Two separators in front: "\\server\x", a share. */
int is_network_path(const char *path);
/* One file name, with the ".\" and extension rules. */
int exec_file(const char *file, command_search *search);
/* 0 when anything exists at the path, else -1 with the error number set. */
int path_exists(const char *path);
/* The value of a variable in the environment snapshot, or null. */
const char *get_snapshot_variable(const char *name);
/* The first, or last, character c of a text, or null. */
const char *mb_find_char(const char *text, char c);
const char *mb_find_last_char(const char *text, char c);
/* The found file opened for reading its header, once for its check and its
   start; INVALID_HANDLE_VALUE for a batch file, whose header is not read,
   or a file that cannot be opened. */
HANDLE open_found_file(const char *file);
/* Bytes per handle in the handle block the file gets: its own width from
   its executable header, read through opened, its interpreter's for a
   batch file, else the launcher's own.  Whether the header names the GUI
   subsystem goes to gui_program from the same read (a batch file never
   does). */
unsigned find_handle_width(const char *file, HANDLE opened, int *gui_program);
/* The width a program's executable header names, or 0 when it names none
   that can be read; the program is opened and closed here. */
unsigned read_program_width(const char *file);
/* Whether the launcher's own header names the GUI subsystem: a copy of
   the console build that a package manager set so. */
int is_own_gui_program(void);
/* The width of the interpreter ComSpec names, else the system's native
   width. */
unsigned find_interpreter_width(void);
/* Adds the window state the launcher's caller gave (a shortcut's "Run:
   Minimized"), if any, to the command's start-up information. */
void copy_window_state(STARTUPINFOA *startup);
/* For the endings that wait for the command (exec/wait_for_command.cpp):
   before each start, the job the command is born into and the handler
   that lets Ctrl+C through, made once; after the start, the wait, which
   ends the launcher with the command's exit code.  console_unused: the
   command is a GUI program, and a console made for the launcher alone
   goes first. */
void prepare_waiting(void);
[[noreturn]] void wait_for_command(PROCESS_INFORMATION *process, int console_unused);
/* Forgets the job, as in a new process (host tests). */
void reset_waiting(void);
/* Starts the file with its command line and the handle table, in the
   launcher's place: the command inherits the console and every
   inheritable handle, in a block of handles width bytes wide. */
int start_overlay(const char *file, unsigned width, command_search *search);

#endif
