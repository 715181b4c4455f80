/*
 * Whole named starts from the process entry, for one named build:
 * NAMED_BUILD_WAITS 1 is shim.exe, which waits and ends with the command's
 * code; 0 is shimw.exe, which ends with 0 once the command has started.
 *
 * The world: C:\app\MyApp.exe reads C:\app\MyApp.shim, started from
 * C:\caller; some of a few files exist where PATH may lead.
 * C:\onpath\tool.exe and C:\app\bin\other.exe are hard links of MyApp.exe,
 * C:\first\tool.exe is another named launcher.
 *
 * Input: eight bytes, then four texts each ended by a NUL, which no
 * variable or command line holds (the caller's argument tail, PATH, HOME,
 * =ShimChain with {own} and {first} standing for those files' identities;
 * texts in UTF-8), then the bytes of MyApp.shim.
 *   0  bits 0-1 code page (UTF-8, 932, 1252, UTF-8), bits 2-3
 *      LAUNCHER_TRACE (unset, 1, dry, yes), bit 4 no standard error, bit 5
 *      standard error a file, bit 6 already elevated, bit 7 no MyApp.shim
 *   1  which of the candidate files exist, a bit each
 *   2  bits 0-2 how every start of a candidate answers, bits 3-5 the
 *      command's exit code, bit 6 candidates are GUI programs, bit 7 the
 *      console is the launcher's alone
 *   3  bits 0-1 how the program name is written, bits 2-4 which text is
 *      stretched (the file, PATH, HOME, the tail), bit 5 to 65536 rather
 *      than 32767, bit 6 PATH unset, bit 7 HOME unset
 *   4  how far past that size the stretch goes, signed
 *   5  the failing call (none, an allocation, a write, or a named call;
 *      none past the table), 6 its occurrence, 7 its Windows error
 *
 * Checked on every input: the exit code is one the build documents for
 * the case; at most one process is made, with the quoted file, the file's
 * args with %~dp0 replaced and the caller's tail byte for byte, and never
 * the launcher's own file; an elevated start passes the tail on and comes
 * only after a start refused for want of elevation; a message has a
 * documented form, and its second line names the file; the launcher adds
 * no empty entry to PATH; every handle opened is closed or handed on; no
 * trace line holds a raw control character.
 */
#include "tests/fuzz/named_start.h"
#include "tests/support/launcher_state.h"

#include <cstdio>

namespace {

const char *const candidates[] = {
    "C:\\app\\bin\\tool.exe", "C:\\tools\\tool.exe",  "C:\\tools\\tool.cmd",
    "C:\\caller\\tool.exe",   "C:\\onpath\\tool.exe", "C:\\first\\tool.exe",
    "C:\\app\\bin\\other.exe", "C:\\Program Files\\Node\\node.exe"};
const char *const program_names[] = {"MyApp", "\"C:\\app\\MyApp.exe\"", "\"C:\\app\"\\MyApp.exe",
                                      "C:\\app\\MyApp.exe"};
const char *const trace_values[] = {nullptr, "1", "dry", "yes"};
const UINT code_pages[] = {CP_UTF8, 932, 1252, CP_UTF8};
const DWORD start_answers[] = {0, ERROR_ELEVATION_REQUIRED, ERROR_BAD_EXE_FORMAT,
                               ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_INVALID_NAME,
                               ERROR_NOT_ENOUGH_MEMORY, 0};
const DWORD exit_codes[] = {7, 0, 1, 255, 259, 0x7FFFFFFF, 0xFFFFFFFF, 0xC000013A};
const DWORD windows_errors[] = {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
                                ERROR_NOT_ENOUGH_MEMORY, ERROR_CANCELLED, ERROR_ELEVATION_REQUIRED,
                                ERROR_INVALID_NAME, ERROR_DISK_FULL};

/* The calls a named start makes, each with what it returns when it fails.
   A new one goes at the end: the committed inputs name a call by its
   place here. */
struct failing_call {
    const char *name;
    uint64_t result;
};
const failing_call failing_calls[] = {
    {"HeapCreate", 0}, {"GetCPInfo", FALSE}, {"GetModuleFileNameW", 0},
    {"GetEnvironmentVariableA", 0}, {"GetEnvironmentVariableW", 0},
    {"SetEnvironmentVariableW", FALSE}, {"MultiByteToWideChar", 0}, {"WideCharToMultiByte", 0},
    {"GetStdHandle", (uint64_t)(intptr_t)INVALID_HANDLE_VALUE}, {"GetFileType", FILE_TYPE_UNKNOWN},
    {"CreateFileW", (uint64_t)(intptr_t)INVALID_HANDLE_VALUE}, {"ReadFile", FALSE},
    {"GetFileAttributesExW", FALSE}, {"GetFileInformationByHandle", FALSE},
    {"GetFullPathNameW", 0}, {"SetCurrentDirectoryA", FALSE},
    {"GetFileAttributesA", INVALID_FILE_ATTRIBUTES},
    {"CreateFileA", (uint64_t)(intptr_t)INVALID_HANDLE_VALUE}, {"CreateProcessA", FALSE},
    {"CloseHandle", FALSE}, {"WaitForSingleObject", WAIT_FAILED}, {"GetExitCodeProcess", FALSE},
    {"CreateJobObjectA", 0}, {"SetInformationJobObject", FALSE},
    {"AssignProcessToJobObject", FALSE}, {"GetConsoleProcessList", 0}, {"FreeConsole", FALSE},
    {"LoadLibraryA", 0}, {"OpenProcessToken", FALSE}, {"GetTokenInformation", FALSE},
    {"GetCurrentDirectoryW", 0}, {"ShellExecuteExW", FALSE}, {"GetModuleHandleA", 0},
    {"SetConsoleCtrlHandler", FALSE}, {"SetFilePointer", INVALID_SET_FILE_POINTER}};
enum { NO_FAULT, FAIL_ALLOCATION, FAIL_WRITE, FAIL_CALL };
const int fault_kinds = FAIL_CALL + (int)(sizeof failing_calls / sizeof failing_calls[0]);

struct input {
    uint8_t options, files, command, shape, stretch, fault, occurrence, error;
    std::u16string tail, path, home;
    std::string chain, shim;
};

/* The caller's texts are UTF-8 in the input, as the platform holds them
   wide.  They hold no NUL, which no variable or command line can (the
   simulation reads C0 80 as one).  In code page 932 they hold no line
   feed: the simulation takes every unit below 0x100 for the byte of its
   value, so a lead byte could come before a line feed, which no real
   conversion gives and the trace passes as the second byte of a
   character. */
std::u16string take_text(input_reader &in, UINT code_page)
{
    std::u16string text;
    for (char16_t unit : sim::from_utf8(in.take_until(0)))
        if (unit && !(unit == u'\n' && code_page == 932))
            text += unit;
    return text;
}

/* A text grown by its last character up to a limit and a little past it,
   where the fuzzer would hardly get by itself. */
template <typename text> void stretch(text *t, size_t size, typename text::value_type filler)
{
    if (t->size() < size)
        t->append(size - t->size(), t->empty() ? filler : t->back());
}

void stretch_one(input *in)
{
    size_t size = (in->shape & 0x20 ? 65536 : 32767) + (int8_t)in->stretch;
    switch (in->shape >> 2 & 7) {
    case 1: stretch(&in->shim, size, '#'); break;
    case 2: stretch(&in->path, size, u'p'); break;
    case 3: stretch(&in->home, size, u'h'); break;
    case 4: stretch(&in->tail, size, u'a'); break;
    }
}

std::string identity_of(const char *path)
{
    HANDLE opened = CreateFileA(path, GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    BY_HANDLE_FILE_INFORMATION information;
    if (opened == INVALID_HANDLE_VALUE)
        return "";
    BOOL known = GetFileInformationByHandle(opened, &information);
    CloseHandle(opened);
    if (!known)
        return "";
    char identity[25];
    std::snprintf(identity, sizeof identity, "%08X%08X%08X", information.dwVolumeSerialNumber,
                  information.nFileIndexHigh, information.nFileIndexLow);
    return identity;
}

/* {own} and {first} as the chain writes those files' identities. */
std::string put_identities(std::string chain)
{
    for (auto [name, path] : {std::pair{"{own}", own.c_str()}, std::pair{"{first}", candidates[5]}})
        for (size_t at; (at = chain.find(name)) != std::string::npos;)
            chain.replace(at, std::string(name).size(), identity_of(path));
    sim::world().calls.clear();
    sim::world().call_counts.clear();
    return chain;
}

std::string gui_header()
{
    std::string bytes = "MZ" + std::string(0x3A, '\0') + "\x40" + std::string(0x63, '\0');
    bytes.replace(0x40, 2, "PE");
    bytes[0x40 + 92] = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    return bytes;
}

/* Returns standard error's handle, or null for none. */
HANDLE build_world(const input &in)
{
    UINT code_page = code_pages[in.options & 3];
    if (code_page == 932)
        use_code_page_932();
    else
        sim::world().acp = code_page;
    HANDLE error = nullptr;
    if (!(in.options & 0x10))
        error = sim::set_std_handle(STD_ERROR_HANDLE,
                                    in.options & 0x20 ? FILE_TYPE_DISK : FILE_TYPE_CHAR);
    sim::world().module_path = own;
    sim::add_file(own);
    for (int i = 0; i < 8; i++) {
        if (!(in.files >> i & 1))
            continue;
        sim::add_file(candidates[i]);
        sim::world().start_errors[sim::key_of(candidates[i])] = start_answers[in.command & 7];
        if (i == 4 || i == 6)
            sim::world().links[sim::key_of(candidates[i])] = sim::key_of(own);
        else if (in.command & 0x40)
            sim::add_file_bytes(candidates[i], gui_header());
    }
    for (const char *directory : {"C:\\app\\work", "C:\\app\\data", "C:\\app\\lib", "C:\\caller"})
        sim::add_directory(directory);
    sim::world().current_directory = "C:\\caller";
    sim::world().child_exit_code = exit_codes[in.command >> 3 & 7];
    sim::world().console_processes = in.command & 0x80 ? 1 : 2;
    sim::world().elevated = in.options & 0x40;
    sim::world().command_line = sim::wide_text(program_names[in.shape & 3]) + u" " + in.tail;
    if (!(in.shape & 0x40))
        sim::set_variable("PATH", in.path);
    if (!(in.shape & 0x80))
        sim::set_variable("HOME", in.home);
    if (!in.chain.empty())
        sim::set_variable("=ShimChain", sim::from_utf8(put_identities(in.chain)));
    if (const char *trace = trace_values[in.options >> 2 & 3])
        sim::set_variable("LAUNCHER_TRACE", sim::wide_text(trace));
    if (!(in.options & 0x80))
        sim::add_file_bytes(file, in.shim);
    return error;
}

void inject_fault(const input &in)
{
    int kind = in.fault < fault_kinds ? in.fault : NO_FAULT;
    if (kind == FAIL_ALLOCATION)
        sim::fail_allocation(1 + in.occurrence);
    if (kind == FAIL_WRITE)
        sim::fail_write(1 + in.occurrence % 16, windows_errors[in.error & 7]);
    if (kind >= FAIL_CALL) {
        const failing_call &call = failing_calls[kind - FAIL_CALL];
        sim::fail_call(call.name, 1 + in.occurrence % 8, call.result, windows_errors[in.error & 7]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input_reader reader(data, size);
    input in = {};
    for (uint8_t *byte : {&in.options, &in.files, &in.command, &in.shape, &in.stretch, &in.fault,
                          &in.occurrence, &in.error})
        *byte = reader.take_byte();
    UINT code_page = code_pages[in.options & 3];
    in.tail = take_text(reader, code_page);
    in.path = take_text(reader, code_page);
    in.home = take_text(reader, code_page);
    in.chain = sim::utf8_of(take_text(reader, code_page));
    in.shim = reader.take_rest();
    stretch_one(&in);

    enter_fresh_world();
    HANDLE error = build_world(in);
    inject_fault(in);
    bool dry = (in.options >> 2 & 3) == 2;
    named_start run = {in.tail, sim::get_wide_variable("PATH"), in.shim, error, dry, {}};
    run.end = run_whole_program();
    check_named_start(run);
    return 0;
}
