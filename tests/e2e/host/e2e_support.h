/*
 * The host side of the end-to-end tests: every test builds a small
 * application tree of its own (app/bin with launcher.exe, app/lib, app/work),
 * asks runner.exe under Wine to start the launcher exactly as the test says,
 * and reads back the launcher's exit code and standard error, and, when the
 * launcher handed over, the report of the probe it started.
 *
 * Byte strings are kept as std::string holding raw bytes: in the code page
 * 932 tests they are cp932, which is what the launcher itself sees.
 */
#ifndef E2E_SUPPORT_H
#define E2E_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

/* Where one test's files live, as Unix paths. */
struct scratch_tree {
    std::string root;  /* the test's own directory; requests and reports */
    std::string app;   /* app/ with bin/, lib/ and work/ below it */
    std::string bin;   /* holds the launcher: the launcher's start directory */
    std::string lib;
    std::string work;
    std::string probe_out; /* the file the probe writes */
};

/* How to start the launcher. */
struct launch {
    std::string application;              /* Unix path; empty: app/bin/launcher.exe;
                                             "-": none, the command line's first
                                             word names the program */
    std::string command_line;             /* bytes of lpCommandLine */
    std::string directory;                /* Windows path; empty: app\bin */
    std::vector<std::string> environment; /* entries, in order */
    std::string stderr_kind = "pipe";     /* pipe, file, readonly, null or none */
    std::vector<std::string> slots;       /* "FLAGS SOURCE [ARG]" runner lines */
    size_t block_width = 4;               /* bytes per handle in the block given */
    bool has_block_count = false;         /* a count other than the slots' */
    long block_count = 0;
    bool code_page_932 = false;           /* run Wine under ja_JP.UTF-8 */
    bool unicode = false;                 /* strings are UTF-8; CreateProcessW */
    std::string stdin_data;               /* non-empty: standard input is a pipe
                                             holding these bytes */
    std::string stdout_kind = "null";     /* as stderr_kind */
    std::string terminate_when;           /* Unix path: end the launcher once it exists */
    bool terminate_on_child = false;      /* end the launcher once its command exists,
                                             in the prefix kept for that */
    std::string interrupt_when;           /* Unix path: send Ctrl+C once it exists */
    std::string window_title;             /* watch for a window of this title */
    std::string window_signal;            /* Unix path the runner writes its text to */
    int show_window = -1;                 /* the caller's window state; -1: none */
    std::string console;                  /* "own", "shared" or none at all */
    std::string display;                  /* the X display Wine draws on, if any;
                                             such a launch runs in the prefix
                                             kept for windows */
    std::string stdin_kind = "null";      /* as stderr_kind; "none" with the
                                             other two: no standard handles */
    uint32_t creation_flags = 0;          /* DETACHED_PROCESS, CREATE_NO_WINDOW */
    bool hidden_station = false;          /* on a window station nobody sees */
    int wait_limit = 0;                   /* seconds the launcher may take; 0: 45 */
    std::string wine_debug = "-all";      /* WINEDEBUG: what Wine reports */
};

/* What came back from one start. */
struct launch_result {
    bool ran = false;      /* runner.exe started the launcher and reported */
    bool wine_lost = false; /* not even the runner said anything: the Wine
                               under it went away */
    std::string failure;   /* why not, with the runner's own output */
    unsigned acp = 0;      /* the runner's ANSI code page */
    uint32_t exit_code = 0;
    std::string error_output;                 /* standard error bytes */
    std::string standard_output;              /* standard output bytes */
    std::map<uint32_t, bool> pid_gone;        /* after terminate_when */
    bool window_seen = false;
    std::string window_text;
    std::map<unsigned, std::string> slot_output;
    std::string block;                        /* the block given to the launcher */
    std::string wine_errors;                  /* Wine's own standard error */
};

/* What the probe received. */
struct probe_report {
    unsigned acp = 0;
    std::string command_line;
    std::string module;
    std::string directory;
    std::vector<std::string> environment;
    unsigned reserved_size = 0;
    std::string reserved;
    std::vector<unsigned long> block_types;
    std::vector<unsigned long> std_types;
    std::vector<uint32_t> std_handles;
    int show_window = -1;    /* the window state received; -1: none */
    int parent_console = -1; /* with PROBE_PARENT_CONSOLE: 1 while the launcher has one */
    /* The wide forms, in UTF-8. */
    std::string command_line_w;
    std::string module_w;
    std::string directory_w;
    std::vector<std::string> environment_w;
};

/* A handle inheritance block taken apart. */
struct handle_block {
    int32_t count = 0;
    std::vector<unsigned> flags;
    std::vector<uint32_t> handles;
};

/* Every end-to-end test derives from this: it fails the test at once when
   the Windows build it needs is missing, and gives it a fresh tree. */
class e2e_test : public ::testing::Test {
protected:
    void SetUp() override;
    scratch_tree tree;
};

enum : uint32_t { EXIT_FAILED = 4294967295u };

/* The build under test, from LAUNCHER_E2E_LAUNCHER: launcher.exe,
   launcherw.exe or launcher-wait.exe. */
std::string launcher_name();
bool launcher_waits();

/* Another exe of the build under test (shim.exe beside launcher.exe). */
std::string sibling_exe(const std::string &name);
/* A named launcher: the exe copied to DIRECTORY/NAME.exe with NAME.shim
   beside it holding the text given (none when it is null). */
void make_named_launcher(const std::string &exe, const std::string &directory,
                         const std::string &name, const char *shim);

/* The code page 932 form of U+8868, whose second byte is the backslash's
   value, and its UTF-8 form for the Unix file name Wine maps it to. */
extern const char hyo_cp932[];
extern const char hyo_utf8[];

std::string to_wine_path(const std::string &unix_path);
/* Joins with the separator of the side: "/" or "\". */
std::string join_unix(const std::string &directory, const std::string &name);
std::string join_wine(const std::string &directory, const std::string &name);

void make_directory(const std::string &unix_path);
void write_file(const std::string &unix_path, const std::string &bytes);
/* Puts a copy of probe.exe at the path (tool.com, tool.exe, ...): the
   32-bit one, or the 64-bit one of the win64 build. */
void copy_probe(const std::string &unix_path, int bits = 32);
/* The 64-bit probe in the Wine prefix's C:\windows\system32 under a name of
   the test's own, which a 32-bit process sees there only with WoW64's
   redirection off (its System32 is SysWOW64), and a directory so named. */
std::string place_native_only_program();

/* PATH, PROBE_OUT and what the command interpreter needs. */
std::vector<std::string> make_environment(const scratch_tree &tree, const std::string &path);

launch_result run_launcher(const scratch_tree &tree, const launch &how);
/* Waits for the probe's report file; false when none came. */
bool wait_for_probe(const scratch_tree &tree, probe_report *report);

/* Handles of `width` bytes each; an 8-byte one is kept when its upper half
   is the sign of its lower half, as every handle of a 32-bit value is. */
handle_block parse_block(const std::string &bytes, size_t width = 4);
/* The value of NAME in an environment, or false when it is absent. */
bool find_variable(const std::vector<std::string> &environment, const std::string &name,
                   std::string *value);
/* Bytes shown with C escapes, for messages. */
std::string show_bytes(const std::string &bytes);

#endif
