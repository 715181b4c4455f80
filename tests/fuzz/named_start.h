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

#endif
