/*
 * runner.exe: starts launcher.exe exactly as a test asks and reports what
 * came back.
 *
 * A Unix shell sees only the low 8 bits of an exit code, and Wine's own
 * command-line handling would requote whatever a shell passed on, so the
 * driver writes a request file instead and this program, already on the
 * Windows side, calls CreateProcessA with the command line, environment block,
 * current directory, standard handles and handle inheritance block byte for
 * byte.
 *
 * Usage: runner REQUEST-FILE.  Request lines are "key value", byte strings
 * in hex:
 *   application HEX         lpApplicationName (absent: null)
 *   command_line HEX        lpCommandLine
 *   directory HEX           lpCurrentDirectory (absent: null)
 *   environment HEX         one entry of the block, in order (none: inherit)
 *   empty_environment       an environment block with no entry at all
 *   unicode                 the strings above are UTF-8 and the launcher is
 *                           started with CreateProcessW, so they may hold any
 *                           character
 *   stdin|stdout|stderr KIND [HEX]
 *                           KIND: null (the NUL device), none (no handle),
 *                           pipe (read back after the exit), file HEX-PATH
 *                           (created), readonly HEX-PATH (created, and
 *                           opened for reading only), data HEX (stdin only: a pipe holding
 *                           these bytes, closed after them)
 *   slot FLAGS SOURCE [ARG] one slot of a handle inheritance block, FLAGS in
 *                           hex; SOURCE: pipe, file HEX-PATH, seeded
 *                           HEX-PATH (a file that already holds ten bytes,
 *                           its position back at the start), null, stderr
 *                           (the standard error handle), value HEX (a raw
 *                           32-bit handle value, ffffffff for none)
 *   block_width 8           the block's handles are 8 bytes each, as a 64-bit
 *                           parent writes them (4 otherwise)
 *   block_count N           the count written into the block, when a test
 *                           wants one that differs from the slots given
 *   terminate_when HEX-PATH once this file exists, end the launcher with
 *                           TerminateProcess and check that every process
 *                           named on a "pid N" line of the file is gone
 *   terminate_on_child      end the launcher with TerminateProcess the moment
 *                           a child of it shows in a process snapshot, and
 *                           check that the child is gone too
 *   interrupt_when HEX-PATH start the launcher on a console of the runner's
 *                           own; once this file exists, send Ctrl+C to every
 *                           process on it, the runner excepted
 *   show_window N           the caller's window state: STARTF_USESHOWWINDOW
 *                           and wShowWindow N
 *   console own|shared      start the launcher on a console of its own, or
 *                           on one of the runner's that it shares
 *   creation_flags N        added to the launcher's creation flags (decimal):
 *                           DETACHED_PROCESS, CREATE_NO_WINDOW
 *   hidden_station          start the launcher on a desktop of a new window
 *                           station, one that is not visible (as a
 *                           service's, or a scheduled task's that runs
 *                           whether or not a user is logged on)
 *   wait_limit N            the launcher must end within N seconds, or the
 *                           runner ends it and reports a timeout
 *   watch_window HEX-TITLE HEX-PATH
 *                           while the launcher runs, look for a top-level
 *                           window of that title; write the text it shows to
 *                           the file at HEX-PATH for the driver, which then
 *                           dismisses it
 * Report lines on standard output:
 *   acp N, exit_code N (unsigned 32-bit), stdout HEX and stderr HEX (pipe
 *   or file), slot_output I HEX (each pipe or file slot), block HEX (as
 *   passed), pid_gone N 0|1, window_seen 0|1, window_text HEX.
 */
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "hex_text.h"

/* Long enough for a first window on a new display under load. */
enum { WAIT_LIMIT_MS = 45000, PIPE_SIZE = 65536 };

struct handle_source {
    std::string kind;
    std::string argument;
    HANDLE handle;     /* what the launcher receives */
    HANDLE read_end;   /* for a pipe: what this program reads back */
};

struct block_slot {
    unsigned flags;
    handle_source source;
};

struct request {
    bool has_application = false, has_directory = false, has_environment = false;
    bool unicode = false, terminate_on_child = false;
    std::string terminate_when, interrupt_when, window_title, window_signal, console;
    long show_window = -1;
    DWORD creation_flags = 0;
    bool hidden_station = false;
    long wait_limit_ms = WAIT_LIMIT_MS;
    std::string application, command_line, directory;
    std::vector<std::string> environment;
    handle_source standard[3];
    std::vector<block_slot> slots;
    size_t block_width = 4;
    bool has_block_count = false;
    long block_count = 0;
};

static void fail(const char *what)
{
    printf("runner_error %s %lu\n", what, (unsigned long)GetLastError());
    exit(2);
}

static std::string read_hex_field(const std::string &text)
{
    std::string bytes;
    if (!decode_hex(text, &bytes))
        fail("bad_hex");
    return bytes;
}

/* Splits "a b c" at single spaces; hex fields never hold one. */
static std::vector<std::string> split_words(const std::string &line)
{
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos)
            end = line.size();
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

static handle_source read_source(const std::vector<std::string> &words, size_t first)
{
    handle_source source;
    source.kind = words.size() > first ? words[first] : "";
    source.argument = words.size() > first + 1 ? read_hex_field(words[first + 1]) : "";
    source.handle = INVALID_HANDLE_VALUE;
    source.read_end = INVALID_HANDLE_VALUE;
    return source;
}

static int find_standard(const std::string &key)
{
    if (key == "stdin")
        return 0;
    if (key == "stdout")
        return 1;
    return key == "stderr" ? 2 : -1;
}

static void read_request_line(request *r, const std::string &line)
{
    std::vector<std::string> words = split_words(line);
    const std::string &key = words[0];
    std::string value = words.size() > 1 ? words[1] : "";
    if (key == "application") {
        r->has_application = true;
        r->application = read_hex_field(value);
    } else if (key == "command_line") {
        r->command_line = read_hex_field(value);
    } else if (key == "directory") {
        r->has_directory = true;
        r->directory = read_hex_field(value);
    } else if (key == "environment") {
        r->has_environment = true;
        r->environment.push_back(read_hex_field(value));
    } else if (key == "empty_environment") {
        r->has_environment = true;
    } else if (find_standard(key) >= 0) {
        r->standard[find_standard(key)] = read_source(words, 1);
    } else if (key == "slot") {
        block_slot slot;
        slot.flags = (unsigned)strtoul(value.c_str(), 0, 16);
        slot.source = read_source(words, 2);
        r->slots.push_back(slot);
    } else if (key == "block_width") {
        r->block_width = strtoul(value.c_str(), 0, 10);
    } else if (key == "block_count") {
        r->has_block_count = true;
        r->block_count = strtol(value.c_str(), 0, 10);
    } else if (key == "unicode") {
        r->unicode = true;
    } else if (key == "terminate_when") {
        r->terminate_when = read_hex_field(value);
    } else if (key == "terminate_on_child") {
        r->terminate_on_child = true;
    } else if (key == "interrupt_when") {
        r->interrupt_when = read_hex_field(value);
    } else if (key == "show_window") {
        r->show_window = strtol(value.c_str(), 0, 10);
    } else if (key == "creation_flags") {
        r->creation_flags = (DWORD)strtoul(value.c_str(), 0, 10);
    } else if (key == "hidden_station") {
        r->hidden_station = true;
    } else if (key == "wait_limit") {
        r->wait_limit_ms = strtol(value.c_str(), 0, 10) * 1000;
    } else if (key == "console") {
        r->console = value;
    } else if (key == "watch_window") {
        r->window_title = read_hex_field(value);
        r->window_signal = read_hex_field(words.size() > 2 ? words[2] : "");
    } else if (!key.empty()) {
        fail("unknown_key");
    }
}

static request read_request(const char *path)
{
    request r;
    /* A standard stream the request does not name is the NUL device. */
    for (int i = 0; i < 3; i++)
        r.standard[i] = read_source(std::vector<std::string>{"null"}, 0);
    FILE *file = fopen(path, "rb");
    if (!file)
        fail("open_request");
    std::string line;
    int c;
    while ((c = fgetc(file)) != EOF) {
        if (c == '\n') {
            read_request_line(&r, line);
            line.clear();
        } else if (c != '\r') {
            line += (char)c;
        }
    }
    read_request_line(&r, line);
    fclose(file);
    return r;
}

static SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), 0, TRUE};

/* Opens what a standard stream or a block slot names; every handle the
   launcher gets is inheritable, so it can pass it on. */
static void open_source(handle_source *source, HANDLE standard_error)
{
    const std::string &kind = source->kind;
    if (kind == "null") {
        source->handle = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, 0);
    } else if (kind == "none") {
        source->handle = 0;
    } else if (kind == "pipe") {
        if (!CreatePipe(&source->read_end, &source->handle, &inheritable, PIPE_SIZE))
            fail("create_pipe");
        SetHandleInformation(source->read_end, HANDLE_FLAG_INHERIT, 0);
    } else if (kind == "data") {
        /* The launcher reads the pipe; the runner keeps the writing end
           until the start, then closes it, so the reader sees the end. */
        HANDLE write_end;
        DWORD written = 0;
        if (!CreatePipe(&source->handle, &write_end, &inheritable, PIPE_SIZE))
            fail("create_pipe");
        SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
        if (!source->argument.empty() &&
            !WriteFile(write_end, source->argument.data(), (DWORD)source->argument.size(),
                       &written, 0))
            fail("fill_pipe");
        source->read_end = write_end;
    } else if (kind == "file") {
        source->handle = CreateFileA(source->argument.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    } else if (kind == "readonly") {
        source->handle = CreateFileA(source->argument.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     &inheritable, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    } else if (kind == "seeded") {
        source->handle = CreateFileA(source->argument.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        DWORD written = 0;
        if (source->handle == INVALID_HANDLE_VALUE ||
            !WriteFile(source->handle, "0123456789", 10, &written, 0) ||
            SetFilePointer(source->handle, 0, 0, FILE_BEGIN) != 0)
            fail("seed_file");
    } else if (kind == "stderr") {
        source->handle = standard_error;
    } else if (kind == "value") {
        std::string bytes = source->argument;
        DWORD value = 0;
        for (size_t i = 0; i < bytes.size(); i++)
            value = value << 8 | (unsigned char)bytes[i];
        source->handle = (HANDLE)(INT_PTR)(LONG)value;
    } else {
        fail("unknown_source");
    }
    if ((kind == "null" || kind == "file" || kind == "readonly") &&
        source->handle == INVALID_HANDLE_VALUE)
        fail("open_source");
}

static void write_word(std::string *block, size_t at, DWORD value)
{
    for (int i = 0; i < 4; i++)
        (*block)[at + i] = (char)(value >> (8 * i));
}

/* Count, flag bytes, then handles, little-endian and without gaps. */
static std::string build_block(const request &r)
{
    size_t n = r.slots.size();
    size_t width = r.block_width;
    std::string block(4 + (1 + width) * n, '\0');
    write_word(&block, 0, (DWORD)(r.has_block_count ? r.block_count : (long)n));
    for (size_t i = 0; i < n; i++) {
        block[4 + i] = (char)r.slots[i].flags;
        /* A handle widened as a 64-bit parent holds it: sign-extended. */
        DWORD handle = (DWORD)(UINT_PTR)r.slots[i].source.handle;
        write_word(&block, 4 + n + width * i, handle);
        if (width == 8)
            write_word(&block, 4 + n + width * i + 4, (LONG)handle < 0 ? 0xFFFFFFFFu : 0);
    }
    return block;
}

static std::string build_environment(const request &r)
{
    std::string block;
    for (size_t i = 0; i < r.environment.size(); i++)
        block += r.environment[i] + '\0';
    if (r.environment.empty())
        block += '\0';
    block += '\0';
    return block;
}

/* Everything the launcher wrote is in the pipe once it has ended; reading
   only what is there keeps a started command that still holds the pipe from
   stalling the runner. */
static std::string drain_pipe(HANDLE read_end)
{
    std::string bytes;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(read_end, 0, 0, 0, &available, 0) || available == 0)
            return bytes;
        std::vector<char> buffer(available);
        DWORD got = 0;
        if (!ReadFile(read_end, buffer.data(), available, &got, 0) || got == 0)
            return bytes;
        bytes.append(buffer.data(), got);
    }
}

static std::string read_file(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        fail("read_file");
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, 0) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

/* What the launcher left behind in a pipe or file it was given, or false. */
static bool collect_output(const handle_source &source, std::string *bytes)
{
    if (source.kind == "pipe")
        *bytes = drain_pipe(source.read_end);
    else if (source.kind == "file" || source.kind == "seeded")
        *bytes = read_file(source.argument);
    else
        return false;
    return true;
}

static std::wstring widen(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), 0, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], n);
    return wide;
}

/* The block for CreateProcessW, each entry converted alone so that the
   zeros between them stay. */
static std::wstring build_wide_environment(const request &r)
{
    std::wstring block;
    for (size_t i = 0; i < r.environment.size(); i++)
        block += widen(r.environment[i]) + L'\0';
    if (r.environment.empty())
        block += L'\0';
    block += L'\0';
    return block;
}

static BOOL create_launcher(request *r, STARTUPINFOA *startup, PROCESS_INFORMATION *process)
{
    DWORD flags = (r->console == "own" ? CREATE_NEW_CONSOLE : 0) | r->creation_flags;
    if (r->unicode) {
        std::wstring application = widen(r->application), directory = widen(r->directory);
        std::wstring command_line = widen(r->command_line);
        std::wstring environment = build_wide_environment(*r);
        command_line.push_back(L'\0');
        std::wstring desktop = widen(startup->lpDesktop ? startup->lpDesktop : "");
        STARTUPINFOW wide_startup;
        memcpy(&wide_startup, startup, sizeof wide_startup);
        wide_startup.lpDesktop = startup->lpDesktop ? &desktop[0] : 0;
        return CreateProcessW(r->has_application ? application.c_str() : 0, &command_line[0], 0,
                              0, TRUE, flags | CREATE_UNICODE_ENVIRONMENT,
                              r->has_environment ? (void *)environment.data() : 0,
                              r->has_directory ? directory.c_str() : 0, &wide_startup, process);
    }
    std::string environment = build_environment(*r);
    std::vector<char> command_line(r->command_line.begin(), r->command_line.end());
    command_line.push_back('\0');
    return CreateProcessA(r->has_application ? r->application.c_str() : 0, command_line.data(), 0,
                          0, TRUE, flags, r->has_environment ? (void *)environment.data() : 0,
                          r->has_directory ? r->directory.c_str() : 0, startup, process);
}

struct window_search {
    const char *title;
    HWND found;
};

static std::string narrow(const wchar_t *wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, 0, 0, 0, 0);
    std::string utf8(n > 0 ? (size_t)n : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], n, 0, 0);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

/* Titles and texts are compared and reported in UTF-8, every character
   as the window holds it. */
static BOOL CALLBACK match_title(HWND window, LPARAM context)
{
    window_search *search = (window_search *)context;
    wchar_t title[256] = {0};
    GetWindowTextW(window, title, 256);
    if (IsWindowVisible(window) && narrow(title) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

/* The text of a message box is its static control's. */
static BOOL CALLBACK collect_static_text(HWND child, LPARAM context)
{
    wchar_t kind[32] = {0}, text[1024] = {0};
    GetClassNameW(child, kind, 32);
    if (_wcsicmp(kind, L"Static") == 0 && GetWindowTextW(child, text, 1024) > 0)
        *(std::string *)context += narrow(text);
    return TRUE;
}

struct window_watch {
    bool seen;
    std::string text;
};

/* One look for the window; on the first sight its text goes to the signal
   file, which tells the driver to dismiss it. */
static void look_for_window(const request &r, window_watch *watch)
{
    if (watch->seen)
        return;
    window_search search = {r.window_title.c_str(), 0};
    EnumWindows(match_title, (LPARAM)&search);
    if (!search.found)
        return;
    watch->seen = true;
    EnumChildWindows(search.found, collect_static_text, (LPARAM)&watch->text);
    FILE *signal = fopen(r.window_signal.c_str(), "wb");
    if (signal) {
        fwrite(watch->text.data(), 1, watch->text.size(), signal);
        fclose(signal);
    }
}

/* Waits for the launcher to end, watching for its window meanwhile. */
static bool wait_watching(const request &r, HANDLE process, window_watch *watch)
{
    enum { STEP_MS = 20 };
    for (long waited = 0; waited < r.wait_limit_ms; waited += STEP_MS) {
        if (!r.window_title.empty())
            look_for_window(r, watch);
        if (WaitForSingleObject(process, STEP_MS) == WAIT_OBJECT_0)
            return true;
    }
    return false;
}

/* The "pid N" lines of the file the test waited for. */
static std::vector<DWORD> read_pids(const std::string &path)
{
    std::vector<DWORD> pids;
    FILE *file = fopen(path.c_str(), "rb");
    char line[256];
    while (file && fgets(line, sizeof line, file))
        if (strncmp(line, "pid ", 4) == 0)
            pids.push_back((DWORD)strtoul(line + 4, 0, 10));
    if (file)
        fclose(file);
    return pids;
}

static bool wait_for_file(const std::string &path)
{
    enum { STEP_MS = 20 };
    for (int waited = 0; waited < WAIT_LIMIT_MS; waited += STEP_MS) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(STEP_MS);
    }
    return false;
}

/* Ends the launcher from outside, then reports whether each process the
   file names has ended too, within a few seconds. */
static void terminate_and_check(const request &r, HANDLE launcher)
{
    enum { GONE_LIMIT_MS = 5000 };
    if (!wait_for_file(r.terminate_when))
        fail("terminate_when_timeout");
    TerminateProcess(launcher, 1);
    WaitForSingleObject(launcher, WAIT_LIMIT_MS);
    std::vector<DWORD> pids = read_pids(r.terminate_when);
    for (size_t i = 0; i < pids.size(); i++) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pids[i]);
        bool gone = !process || WaitForSingleObject(process, GONE_LIMIT_MS) == WAIT_OBJECT_0;
        if (process)
            CloseHandle(process);
        printf("pid_gone %lu %d\n", (unsigned long)pids[i], gone ? 1 : 0);
    }
}

/* The first process whose parent is the launcher, or 0 once the launcher
   has ended without one. */
static DWORD find_child(HANDLE launcher, DWORD launcher_id)
{
    while (WaitForSingleObject(launcher, 0) == WAIT_TIMEOUT) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry;
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more;
             more = Process32Next(snapshot, &entry)) {
            if (entry.th32ParentProcessID == launcher_id) {
                CloseHandle(snapshot);
                return entry.th32ProcessID;
            }
        }
        CloseHandle(snapshot);
    }
    return 0;
}

/* Ends the launcher the moment its command exists, however far its own
   start has come, and reports whether the command ended with it.  A
   command left behind is ended here, so that no run leaves one. */
static void terminate_on_child(HANDLE launcher, DWORD launcher_id)
{
    enum { GONE_LIMIT_MS = 5000 };
    DWORD child = find_child(launcher, launcher_id);
    HANDLE process = child ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child) : 0;
    TerminateProcess(launcher, 1);
    WaitForSingleObject(launcher, WAIT_LIMIT_MS);
    if (!child)
        fail("no_child");
    bool gone = !process || WaitForSingleObject(process, GONE_LIMIT_MS) == WAIT_OBJECT_0;
    if (!gone)
        TerminateProcess(process, 1);
    if (process)
        CloseHandle(process);
    printf("pid_gone %lu %d\n", (unsigned long)child, gone ? 1 : 0);
}

/* Interrupts everything on the console but the runner, which ignores the
   event from now on (too late for the launcher to inherit that). */
static void interrupt_when_ready(const request &r)
{
    if (!wait_for_file(r.interrupt_when))
        fail("interrupt_when_timeout");
    SetConsoleCtrlHandler(0, TRUE);
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
        fail("generate_console_ctrl_event");
}

/* A window station of the runner's own, not visible, with a desktop in
   it: the desktop can only be made from inside its station.  Its name, as
   lpDesktop takes it. */
static std::string make_hidden_desktop()
{
    std::string name = "launcher-test-" + std::to_string(GetCurrentProcessId());
    HWINSTA own = GetProcessWindowStation();
    HWINSTA station = CreateWindowStationA(name.c_str(), 0, WINSTA_ALL_ACCESS, 0);
    if (!station || !SetProcessWindowStation(station))
        fail("create_window_station");
    HDESK desktop = CreateDesktopA("Default", 0, 0, 0, GENERIC_ALL, 0);
    SetProcessWindowStation(own);
    if (!desktop)
        fail("create_desktop");
    return name + "\\Default";
}

static DWORD run_launcher(request *r, const std::string &block)
{
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = r->standard[0].handle;
    startup.hStdOutput = r->standard[1].handle;
    startup.hStdError = r->standard[2].handle;
    if (r->show_window >= 0) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = (WORD)r->show_window;
    }
    std::string desktop = r->hidden_station ? make_hidden_desktop() : "";
    if (r->hidden_station)
        startup.lpDesktop = &desktop[0];
    if (!r->slots.empty()) {
        startup.cbReserved2 = (WORD)block.size();
        startup.lpReserved2 = (BYTE *)block.data();
    }
    PROCESS_INFORMATION process;
    if (!create_launcher(r, &startup, &process))
        fail("create_process");
    CloseHandle(process.hThread);
    if (r->standard[0].kind == "data")
        CloseHandle(r->standard[0].read_end);
    if (!r->terminate_when.empty())
        terminate_and_check(*r, process.hProcess);
    if (r->terminate_on_child)
        terminate_on_child(process.hProcess, process.dwProcessId);
    if (!r->interrupt_when.empty())
        interrupt_when_ready(*r);
    window_watch watch = {false, std::string()};
    if (!wait_watching(*r, process.hProcess, &watch)) {
        TerminateProcess(process.hProcess, 1);
        fail("timeout");
    }
    if (!r->window_title.empty()) {
        printf("window_seen %d\n", watch.seen ? 1 : 0);
        printf("window_text %s\n", encode_hex(watch.text).c_str());
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return code;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        printf("runner_error usage 0\n");
        return 2;
    }
    request r = read_request(argv[1]);
    /* A console of its own, which the launcher and the command share: Wine
       gives a program started from a Unix shell without a terminal none
       to send control events on. */
    if (!r.interrupt_when.empty() || r.console == "shared") {
        FreeConsole();
        AllocConsole();
    }
    for (int i = 0; i < 3; i++)
        open_source(&r.standard[i], 0);
    for (size_t i = 0; i < r.slots.size(); i++)
        open_source(&r.slots[i].source, r.standard[2].handle);
    std::string block = build_block(r);

    DWORD code = run_launcher(&r, block);
    printf("acp %u\n", GetACP());
    printf("exit_code %lu\n", (unsigned long)code);
    std::string bytes;
    if (collect_output(r.standard[1], &bytes))
        printf("stdout %s\n", encode_hex(bytes).c_str());
    if (collect_output(r.standard[2], &bytes))
        printf("stderr %s\n", encode_hex(bytes).c_str());
    for (size_t i = 0; i < r.slots.size(); i++)
        if (collect_output(r.slots[i].source, &bytes))
            printf("slot_output %u %s\n", (unsigned)i, encode_hex(bytes).c_str());
    if (!r.slots.empty())
        printf("block %s\n", encode_hex(block).c_str());
    return 0;
}
