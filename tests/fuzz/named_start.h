/* The named start's fuzz target: the world it builds (named_start_fuzz.cpp)
   and the properties every run must have (named_start_checks.cpp). */
#ifndef TESTS_FUZZ_NAMED_START_H
#define TESTS_FUZZ_NAMED_START_H

#include "tests/fuzz/fuzz_support.h"

#include <optional>

/* shim.exe waits for the command; shimw.exe does not. */
const bool build_waits = NAMED_BUILD_WAITS;

const std::string own = "C:\\app\\MyApp.exe", file = "C:\\app\\MyApp.shim", folder = "C:\\app\\";

/* What one run was given, and how it ended. */
struct named_start {
    std::u16string tail;                /* after the program name and a blank */
    std::optional<std::u16string> path; /* PATH as the launcher received it */
    std::string shim;                   /* the bytes of MyApp.shim */
    HANDLE error;                       /* standard error; null: none */
    bool dry;                           /* LAUNCHER_TRACE asks for a dry run */
    sim::exit_signal end;
};

void check_named_start(const named_start &run);

/* What the input failed (named_start_checks.cpp).  A call it failed, and
   the run made at least that often; with an occurrence, only that one. */
bool was_failed(const std::string &name, int occurrence = 0);
bool failed_allocation();
bool failed_write();
/* Standard error as the launcher saw it: asked for and its type known. */
bool standard_error_taken();

/* What the user was told (named_start_messages.cpp), with its line ends:
   in a message box, or on standard error after the trace's lines when
   every write reached it; none where nothing can show it. */
std::optional<std::string> find_message(const named_start &run);
bool is_runtime_error(const std::string &message);
/* A failure's message has a documented form, and its second line names
   the file. */
void check_message(const std::string &message);
/* The text as a trace line shows it: each control character, and a
   backslash before an "x", as \xHH. */
std::string shown_in_trace(const std::string &text);
/* No trace line holds a raw control character, on standard error or in
   the debugger output. */
void check_trace_lines(const named_start &run);

#endif
