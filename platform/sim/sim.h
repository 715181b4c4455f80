/*
 * The simulated KERNEL32: test code that stands in for the platform in host
 * builds.  It holds a small world (live environment, files and directories
 * with attributes, current directory, code page, standard handles and their
 * types, start-up information, a heap), records every call with its
 * arguments and the bytes it carried, and injects faults: the nth heap
 * allocation fails, the nth WriteFile fails or accepts fewer bytes, the nth
 * call of any other service returns a chosen value with a chosen last error
 * (and a name no simulated call answers to is refused).
 *
 * ExitProcess, and TerminateProcess of the current process, throw
 * sim::exit_signal, so a test observes the end of a run as a value.
 *
 * Text as the platform holds it is UTF-16 (sim::wide_text); the ANSI forms
 * are views of it in the simulated ANSI code page.  In every code page but
 * UTF-8 a byte stands for the unit of the same value and back, so byte
 * strings of tests (double-byte characters included) pass through
 * unchanged; a unit above 0xFF has no ANSI form and becomes a look-alike
 * where the platform's best-fit mapping knows one, else the code page's
 * default character.  Under UTF-8 (65001) the ANSI form is UTF-8.  Files,
 * directories and the current directory are held in their ANSI form.
 */
#ifndef PLATFORM_SIM_SIM_H
#define PLATFORM_SIM_SIM_H

#include "platform/kernel32.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct wide_text : std::u16string {
    wide_text() = default;
    wide_text(const std::u16string &units) : std::u16string(units) {}
    wide_text(const char16_t *units) : std::u16string(units) {}
    /* Each byte becomes the unit of its value. */
    wide_text(const std::string &bytes);
    wide_text(const char *bytes) : wide_text(std::string(bytes)) {}
};

struct exit_signal {
    UINT code;
    bool terminated; /* TerminateProcess rather than ExitProcess */
};

struct call {
    std::string name;
    std::vector<uint64_t> args; /* integer and handle arguments, in order */
    std::string text;           /* the text or bytes the call carried */
};

struct fault {
    std::string name;
    int occurrence; /* 1 for the first call of that name; 0 for every call */
    uint64_t result;
    DWORD error;
};

struct write_fault {
    int occurrence; /* counted over all WriteFile calls */
    bool fails;     /* fail with `error`, else accept only `accepted` bytes */
    DWORD error;
    DWORD accepted;
};

/* Shown through USER32's MessageBoxW; text and title in UTF-8. */
struct message_box {
    std::string text, title;
    UINT flags;
};

/* One entry of the Application event log (ReportEventW): its source, type
   and number, and its strings in UTF-8. */
struct event_entry {
    std::string source;
    WORD type;
    DWORD id;
    std::vector<std::string> strings;
};

struct handle_object {
    DWORD type;
    std::string output; /* every byte accepted by WriteFile */
    std::string input;  /* what ReadFile reads, from `position` on */
    size_t position = 0;
    std::string file;   /* the key of the file CreateFile opened */
    /* What a call of the run opened it as ("file C:\X", "job", ...); empty
       for the world's own, the standard handles and those a test adds. */
    std::string opened_as = {};
    bool closed = false;
    /* Left open on purpose, and closed by the end of the process: the job
       the launcher joined, the process it waited on. */
    bool handed_on = false;
};

/* What one CreateProcessA received. */
struct process_start {
    std::optional<std::string> application;
    std::optional<std::string> command_line;
    bool process_attributes_null, thread_attributes_null;
    BOOL inherit_handles;
    DWORD creation_flags;
    std::optional<std::string> environment; /* the block up to its closing zeros */
    std::optional<std::string> directory;
    DWORD startup_size;     /* cb */
    DWORD startup_flags;    /* dwFlags */
    WORD show_window;       /* wShowWindow */
    WORD block_size;        /* cbReserved2 */
    std::optional<std::string> block; /* cbReserved2 bytes at lpReserved2 */
    bool other_startup_fields_zero;
    std::string current_directory; /* the simulated one at the call */
    DWORD error = 0; /* the platform's answer: 0 when the process was made */
};

struct state {
    std::vector<call> calls;
    DWORD last_error = 0;

    /* environment: the live block, in order, "NAME=value" */
    std::vector<wide_text> environment;
    bool wide_environment = true;
    bool single_byte_environment = true;

    /* files: keys are full paths in upper case; values are attributes */
    std::string current_directory = "C:\\";
    std::map<std::string, DWORD> files;
    std::map<std::string, std::string> file_bytes; /* contents; a file without
                                                       any reads as empty */
    std::map<std::string, DWORD> access_errors;   /* path or directory prefix -> error */
    std::map<std::string, DWORD> start_errors;    /* application path -> error */
    /* Hard links: another name -> the key of the file it names.  A file's
       identity (volume and index) is its key's, or its link's. */
    std::map<std::string, std::string> links;
    /* Device names taken for directories and reported back as given, as
       Wine does for "NUL" and "COM1". */
    std::set<std::string> device_names;

    /* A 32-bit process on 64-bit Windows: its lookups in System32 land in
       SysWOW64 until it turns the redirection off.  Without the functions
       (Windows before Vista) GetProcAddress finds neither. */
    bool wow64 = false;
    bool redirection_off = false;
    bool redirection_functions = true;

    /* code pages */
    UINT acp = 1252;
    std::map<UINT, CPINFO> code_pages;
    bool compare_a_missing = false;

    /* process */
    std::optional<wide_text> command_line = wide_text("launcher");
    std::unique_ptr<char16_t[]> command_line_copy; /* what GetCommandLineW gave */
    wide_text module_path = "C:\\app\\bin\\launcher.exe";
    /* As Windows XP: a module path cut to its buffer fills it whole, with
       no terminator. */
    bool module_path_unterminated = false;
    std::optional<std::vector<BYTE>> startup_block;
    std::optional<WORD> startup_block_size; /* cbReserved2, when not the block's size */
    DWORD startup_flags = 0;           /* the caller's dwFlags and wShowWindow */
    WORD show_window = 0;
    DWORD console_processes = 2;       /* on the launcher's console, itself too */
    LONG filter_answer = EXCEPTION_CONTINUE_SEARCH;
    std::vector<process_start> starts;
    DWORD child_exit_code = 0;         /* what GetExitCodeProcess reports */
    PHANDLER_ROUTINE ctrl_handler = nullptr; /* the last added */
    std::vector<message_box> boxes;
    bool elevated = false; /* what the process token's elevation reads */
    /* The subsystem the launcher's own header names. */
    WORD subsystem = IMAGE_SUBSYSTEM_WINDOWS_CUI;
    /* AllocConsoleWithOptions, which KERNEL32 has from Windows 11 24H2 on:
       where the process's creator asked for a console it makes one (the
       launcher alone on it, the standard handles its own), else none. */
    bool allocate_console_present = false;
    bool console_asked_for = false;

    /* Where a message can be seen: the window station's WSF_VISIBLE, the
       session (0: services'), libraries that do not load (by name in upper
       case, "USER32.DLL"), and the event log's entries.  The debugger
       output is in the calls (OutputDebugStringA and OutputDebugStringW,
       in UTF-8). */
    bool station_visible = true;
    DWORD session = 1;
    std::set<std::string> missing_libraries;
    std::vector<event_entry> events;
    std::map<uintptr_t, std::string> event_sources; /* by handle */

    /* handles */
    std::map<DWORD, HANDLE> std_handles;
    std::map<uintptr_t, handle_object> handles;
    uintptr_t next_handle = 0x100;
    std::vector<std::string> bad_closes; /* CloseHandle of what was not open */
    bool waited = false;                 /* WaitForSingleObject was called */

    /* heap */
    int allocations = 0;
    std::set<int> failing_allocations;
    std::map<void *, size_t> live_blocks;
    int bad_frees = 0;
    std::set<void *> environment_blocks;

    /* faults */
    std::vector<fault> faults;
    std::map<std::string, int> call_counts;
    std::vector<write_fault> write_faults;
    int writes = 0;
};

state &world();
void reset();

/* world building */
void set_variable(const std::string &name, const std::optional<wide_text> &value);
/* The value as GetEnvironmentVariableA gives it, or exactly. */
std::optional<std::string> get_variable(const std::string &name);
std::optional<std::u16string> get_wide_variable(const std::string &name);
/* The ANSI form of text in the current code page, with or without the
   platform's best-fit mapping, and back. */
std::string to_ansi(const std::u16string &units, bool best_fit);
std::u16string from_ansi(const std::string &bytes);
std::string utf8_of(const std::u16string &units);
std::u16string from_utf8(const std::string &bytes);
void add_directory(const std::string &path);
void add_file(const std::string &path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
/* A file with contents, for CreateFileA and ReadFile. */
void add_file_bytes(const std::string &path, const std::string &bytes);
HANDLE add_handle(DWORD type);
/* A handle a simulated call opens for the run, described for handle_faults. */
HANDLE open_handle(DWORD type, const std::string &opened_as);
HANDLE set_std_handle(DWORD which, DWORD type);
const std::string &output_of(HANDLE handle);
/* The full path as the platform would resolve it, with the case kept. */
std::string full_path(const std::string &path);

/* faults */
void fail_call(const std::string &name, int occurrence, uint64_t result, DWORD error);
void fail_write(int occurrence, DWORD error);
void short_write(int occurrence, DWORD accepted);
void fail_allocation(int occurrence);

/* observation */
std::vector<call> calls_named(const std::string &name);
std::vector<std::string> call_names();
size_t live_allocations();
/* Each handle the run opened and left open, and each close of a handle that
   was not open, described; empty when every handle was closed by the end.
   Left open on purpose are the job the launcher joined and the process it
   waited on; and where the run ended without waiting, the started command's
   process and thread, which the end closes as soon.  The handles the
   command inherits are the world's, never opened by the run. */
std::vector<std::string> handle_faults();

/* A simulated call that faults reach by name.  Each is defined once, beside
   its function and before any test runs, so fail_call knows every name a
   fault can reach and throws std::invalid_argument for any other: a
   misspelt name would inject nothing and let the test pass. */
struct service {
    const char *name;
    explicit service(const char *name);
};

/* A function of USER32, ADVAPI32 or KERNEL32 that GetProcAddress finds
   for a message where nobody may watch or for a console asked for at
   start (sim_unwatched.cpp); null for any other. */
FARPROC find_unwatched_function(const std::string &library, const char *name);

/* used by the simulated functions */
void record(const std::string &name, std::vector<uint64_t> args = {}, std::string text = {});
const fault *take_fault(const service &which);
std::string key_of(const std::string &path);
/* The key a process sees for a path: under WoW64 with the redirection on,
   System32 is SysWOW64. */
std::string key_as_seen(const std::string &path);
std::string parent_key(const std::string &key);
bool is_sim_lead_byte(unsigned char c);

} // namespace sim

#endif
