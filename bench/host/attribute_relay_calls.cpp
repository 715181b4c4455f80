/*
 * Lists the KERNEL32 calls that a launcher exe itself made, from a Wine relay
 * trace (WINEDEBUG=+pid,+relay,+loaddll), against the calls the launcher's
 * code path needs for the scenario given: launcher.exe's hand-over, or with
 * "waits" launcher-wait.exe's, which then waits for the command; "named" is
 * a copy of shim.exe, NAME.exe, that takes its start from NAME.shim beside
 * it, which this tool reads too: what the file gives decides which calls
 * are needed.
 *
 * Attribution.  A relay "Call" line names the function entered and the
 * return address of the call.  Wine's own DLLs call each other all the time
 * (kernel32 into kernelbase into ntdll) and those lines are in the trace
 * too; a call belongs to the launcher only when it comes from the launcher's
 * process (the one whose loaddll line loaded EXE) and its return address
 * lies inside EXE's image.
 *
 * Naming.  The relay line names the function that Wine finally entered,
 * which for a forwarded export is not the name the launcher imported
 * (HeapAlloc enters ntdll.RtlAllocateHeap).  So each call is named from the
 * call site instead: the instruction before the return address is either
 * "call [slot]" or "call reg" after "mov reg, [slot]", and the slot is one
 * of the import address table's, which says which import was called.  A
 * function the launcher looked up at run time (GetProcAddress) is called
 * through a pointer, not a slot: when Wine entered a KERNEL32 export that
 * the exe does not import, the relay line names it.
 *
 * Results.  Some calls are needed only after another call's result (the
 * code page GetACP names, whether the waiting build's job could be made), so
 * each call keeps the value its "Ret" line gives, and the table is drawn from
 * what the code does with those values.
 *
 * Unseen calls.  Wine does not relay every export: GetCurrentProcess leaves
 * no line at all.  Such a call is still listed with its need, and its use is
 * checked through the call that takes its result instead.
 *
 * Usage: attribute_relay_calls EXE TRACE in-directory|on-path|named [waits]
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

struct image {
    std::vector<uint8_t> file;
    uint32_t base = 0, size = 0;
    struct section {
        uint32_t rva, raw_size, raw_offset;
    };
    std::vector<section> sections;
    std::map<uint32_t, std::string> slots; /* import address slot VA -> name */
    std::map<std::string, std::string> dll_of;
};

static uint32_t read_u32(const std::vector<uint8_t> &b, size_t at)
{
    if (at + 4 > b.size())
        return 0;
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
           (uint32_t)b[at + 3] << 24;
}

static uint16_t read_u16(const std::vector<uint8_t> &b, size_t at)
{
    return at + 2 > b.size() ? 0 : (uint16_t)(b[at] | b[at + 1] << 8);
}

static long offset_of_rva(const image &im, uint32_t rva)
{
    for (const image::section &s : im.sections)
        if (rva >= s.rva && rva < s.rva + s.raw_size)
            return (long)(s.raw_offset + (rva - s.rva));
    return -1;
}

static std::string text_at_rva(const image &im, uint32_t rva)
{
    long at = offset_of_rva(im, rva);
    std::string text;
    while (at >= 0 && (size_t)at < im.file.size() && im.file[(size_t)at])
        text += (char)im.file[(size_t)at++];
    return text;
}

static void read_imports(image &im, uint32_t import_rva)
{
    for (uint32_t d = import_rva;; d += 20) {
        long at = offset_of_rva(im, d);
        if (at < 0)
            return;
        uint32_t names = read_u32(im.file, (size_t)at), dll = read_u32(im.file, (size_t)at + 12),
                 first = read_u32(im.file, (size_t)at + 16);
        if (!dll || !first)
            return;
        std::string dll_name = text_at_rva(im, dll);
        uint32_t table = names ? names : first;
        for (uint32_t i = 0;; i++) {
            long entry_at = offset_of_rva(im, table + 4 * i);
            uint32_t entry = entry_at < 0 ? 0 : read_u32(im.file, (size_t)entry_at);
            if (!entry)
                break;
            std::string name = entry & 0x80000000u ? "#" + std::to_string(entry & 0xFFFF)
                                                  : text_at_rva(im, entry + 2);
            im.slots[im.base + first + 4 * i] = name;
            im.dll_of[name] = dll_name;
        }
    }
}

static bool load_image(const char *path, image &im)
{
    std::ifstream in(path, std::ios::binary);
    im.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    uint32_t pe = read_u32(im.file, 0x3C);
    if (read_u32(im.file, pe) != 0x4550 || read_u16(im.file, pe + 24) != 0x10B)
        return false;
    uint16_t sections = read_u16(im.file, pe + 6), optional_size = read_u16(im.file, pe + 20);
    size_t opt = pe + 24;
    im.base = read_u32(im.file, opt + 28);
    im.size = read_u32(im.file, opt + 56);
    uint32_t import_rva = read_u32(im.file, opt + 96 + 8);
    for (uint16_t i = 0; i < sections; i++) {
        size_t s = opt + optional_size + 40u * i;
        im.sections.push_back({read_u32(im.file, s + 12), read_u32(im.file, s + 16),
                               read_u32(im.file, s + 20)});
    }
    read_imports(im, import_rva);
    return true;
}

static int byte_at(const image &im, uint32_t va)
{
    long at = offset_of_rva(im, va - im.base);
    return at < 0 || (size_t)at >= im.file.size() ? -1 : im.file[(size_t)at];
}

static uint32_t u32_at(const image &im, uint32_t va)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--)
        value = value << 8 | (uint32_t)(byte_at(im, va + (uint32_t)i) & 0xFF);
    return value;
}

/* The import called by the instruction that ends right before `ret`, or "". */
static std::string import_called_before(const image &im, uint32_t ret)
{
    if (byte_at(im, ret - 6) == 0xFF && byte_at(im, ret - 5) == 0x15) {
        auto slot = im.slots.find(u32_at(im, ret - 4));
        return slot == im.slots.end() ? "" : slot->second;
    }
    int modrm = byte_at(im, ret - 1);
    if (byte_at(im, ret - 2) != 0xFF || modrm < 0xD0 || modrm > 0xD7)
        return "";
    /* call reg: the nearest earlier load of that register from a slot. */
    int reg = modrm & 7;
    for (uint32_t at = ret - 8; at + 256 > ret; at--) {
        bool load = (byte_at(im, at) == 0x8B && byte_at(im, at + 1) == (reg << 3 | 5));
        bool load_eax = reg == 0 && byte_at(im, at + 1) == 0xA1;
        if (!load && !load_eax)
            continue;
        auto slot = im.slots.find(u32_at(im, at + 2));
        if (slot != im.slots.end())
            return slot->second;
    }
    return "";
}

struct observed_call {
    std::string name;       /* the import, as the launcher named it */
    std::string wine_entry; /* what the relay line says Wine entered */
    std::vector<uint32_t> arguments;
    std::string line;
    bool named_by_site; /* else by the relay line's name */
    bool returned = false;
    uint32_t result = 0;
};

struct trace_reading {
    std::vector<observed_call> calls;
    bool found_image = false;
    std::set<std::string> looked_up; /* KERNEL32 functions called through a pointer */
};

/* The results of every call of one import, in order. */
static std::vector<uint32_t> get_results(const trace_reading &r, const std::string &name)
{
    std::vector<uint32_t> results;
    for (const observed_call &c : r.calls)
        if (c.name == name && c.returned)
            results.push_back(c.result);
    return results;
}

/* The first call of `name` after position `from`, or the end. */
static size_t find_call(const trace_reading &r, const std::string &name, size_t from = 0)
{
    for (size_t i = from; i < r.calls.size(); i++)
        if (r.calls[i].name == name)
            return i;
    return r.calls.size();
}

static std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

/* The hexadecimal value that starts each argument; a text argument is
   shown after its address in quotes, and a comma inside those is no
   separator. */
static std::vector<uint32_t> parse_arguments(const std::string &inside)
{
    std::vector<uint32_t> values;
    bool item_start = true, quoted = false;
    for (size_t i = 0; i < inside.size(); i++) {
        char c = inside[i];
        if (item_start)
            values.push_back((uint32_t)std::strtoul(inside.c_str() + i, nullptr, 16));
        item_start = false;
        if (quoted && c == '\\')
            i++;
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            item_start = true;
    }
    return values;
}

static void read_trace(const char *path, const std::string &exe_name, const image &im,
                       trace_reading &r)
{
    std::ifstream in(path);
    std::string line, process;
    bool pending = false;
    uint32_t base = im.base;
    while (std::getline(in, line)) {
        std::string prefix = line.substr(0, line.find(':'));
        if (line.find("loaddll") != std::string::npos && line.find("Loaded") != std::string::npos &&
            lower(line).find("\\\\" + lower(exe_name) + "\" at ") != std::string::npos &&
            process.empty()) {
            process = prefix;
            base = (uint32_t)std::strtoul(line.c_str() + line.find("\" at ") + 5, nullptr, 16);
            r.found_image = true;
            continue;
        }
        if (process.empty() || prefix != process)
            continue;
        size_t ret_at = line.rfind(" ret=");
        if (ret_at == std::string::npos)
            continue;
        uint32_t ret = (uint32_t)std::strtoul(line.c_str() + ret_at + 5, nullptr, 16);
        if (ret < base || ret >= base + im.size)
            continue;
        /* Addresses in the image's own terms, whatever its load address. */
        uint32_t own_ret = ret - base + im.base;
        size_t call_at = line.find(":Call "), ret_line_at = line.find(":Ret  ");
        if (call_at != std::string::npos) {
            size_t open = line.find('(', call_at);
            observed_call c;
            c.wine_entry = line.substr(call_at + 6, open - call_at - 6);
            c.name = import_called_before(im, own_ret);
            c.named_by_site = !c.name.empty();
            std::string function = c.wine_entry.substr(c.wine_entry.find('.') + 1);
            bool kernel32 = c.wine_entry.compare(0, 9, "KERNEL32.") == 0;
            if (c.name.empty())
                c.name = im.dll_of.count(function) || kernel32 ? function : "?" + c.wine_entry;
            if (!c.named_by_site && kernel32 && !im.dll_of.count(function))
                r.looked_up.insert(function);
            c.arguments = parse_arguments(line.substr(open + 1, line.rfind(')', ret_at) - open - 1));
            c.line = line;
            r.calls.push_back(c);
            pending = true;
        } else if (ret_line_at != std::string::npos && pending) {
            /* The launcher has one thread, so a return from its image ends
               its latest call. */
            size_t value_at = line.find("retval=");
            if (value_at != std::string::npos) {
                r.calls.back().result = (uint32_t)std::strtoul(line.c_str() + value_at + 7, nullptr, 16);
                r.calls.back().returned = true;
            }
            pending = false;
        }
    }
}

struct need {
    std::string name;
    int count;
    std::string why;
    /* false for an export that Wine never relays: its calls cannot be
       counted from the trace */
    bool relayed = true;
};

/* Adds a need, or adds to one already listed: two steps of the code path
   may need the same import for reasons of their own. */
static void add_need(std::vector<need> &needs, const need &n)
{
    for (need &listed : needs)
        if (listed.name == n.name) {
            listed.count += n.count;
            listed.why += "; " + n.why;
            return;
        }
    needs.push_back(n);
}

/* What the run must show besides the counts; a failed one is marked. */
struct check {
    std::string text;
    bool holds;
};

static bool is_builtin_code_page(uint32_t cp)
{
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361;
}

/* The block the first allocation after `after` returned, or 0. */
static uint32_t find_allocated_block(const trace_reading &r, const std::string &after)
{
    size_t at = find_call(r, "HeapAlloc", find_call(r, after));
    return at < r.calls.size() ? r.calls[at].result : 0;
}

static bool releases(const observed_call &c, uint32_t block)
{
    return c.name == "HeapFree" && c.arguments.size() > 2 && block && c.arguments[2] == block;
}

/* Environment strings the snapshot copied.  Start-up reads the command line
   (one allocation after GetCommandLineW) and the environment block (one
   after GetEnvironmentStringsW), builds the argument vector after
   GetModuleFileNameA and releases the command line; then come the snapshot
   vector and one copy per string, and the release of the environment block.
   The snapshot vector's size, 4 bytes per string plus the null entry, must
   tell the same, and both releases must free the blocks named. */
static int count_snapshot_strings(const trace_reading &r, bool *consistent)
{
    uint32_t command_line = find_allocated_block(r, "GetCommandLineW");
    uint32_t environment = find_allocated_block(r, "GetEnvironmentStringsW");
    size_t first = find_call(r, "HeapFree", find_call(r, "GetModuleFileNameA"));
    size_t second = find_call(r, "HeapFree", first + 1);
    *consistent = false;
    if (second >= r.calls.size() || !releases(r.calls[first], command_line) ||
        !releases(r.calls[second], environment))
        return -1;
    int allocations = 0;
    uint32_t vector_size = 0;
    for (size_t i = first + 1; i < second; i++)
        if (r.calls[i].name == "HeapAlloc" && ++allocations == 1 && r.calls[i].arguments.size() > 2)
            vector_size = r.calls[i].arguments[2];
    int strings = allocations - 1;
    *consistent = strings >= 0 && vector_size == 4u * (uint32_t)(strings + 1);
    return strings;
}

/* The snapshot is searched for PATH entry by entry; only an entry with a
   four-character name reaches the comparison, and the search stops at the
   first that compares equal. */
static int count_needed_comparisons(const trace_reading &r, bool *consistent)
{
    std::vector<uint32_t> verdicts = get_results(r, "CompareStringA");
    *consistent = true;
    for (size_t i = 0; i < verdicts.size(); i++)
        if ((verdicts[i] == 2) != (i + 1 == verdicts.size()))
            *consistent = false;
    for (const observed_call &c : r.calls)
        if (c.name == "CompareStringA" &&
            (c.arguments.size() < 6 || c.arguments[3] != 4 || c.arguments[5] != 4 ||
             c.line.find("\"PATH\"") == std::string::npos))
            *consistent = false;
    return verdicts.empty() ? 1 : (int)verdicts.size();
}

/* The first result of `name`, or `otherwise` when it was not called. */
static uint32_t get_first_result(const trace_reading &r, const std::string &name, uint32_t otherwise)
{
    std::vector<uint32_t> results = get_results(r, name);
    return results.empty() ? otherwise : results[0];
}

/*
 * launcher-wait.exe around CreateProcessA (builds/launcher_wait.cpp): before
 * it, a job that kills everything in it with the launcher, made and joined
 * by the launcher itself, and the launcher's own handler for Ctrl+C; after
 * it, the thread handle closed, the wait, the exit code and the kill lifted.
 * What follows a failure to make or join the job follows from the results.
 */
static void add_waiting_needs(const trace_reading &r, std::vector<need> &needs,
                              std::vector<std::string> &notes, std::vector<check> &checks)
{
    bool made = get_first_result(r, "CreateJobObjectA", 0) != 0;
    bool limited = made && get_first_result(r, "SetInformationJobObject", 0) != 0;
    bool joined = limited && get_first_result(r, "AssignProcessToJobObject", 0) != 0;
    bool waited = get_first_result(r, "WaitForSingleObject", 1) == 0;
    /* GetCurrentProcess is not relayed: its result, the current process's
       pseudo handle, shows as AssignProcessToJobObject's second argument. */
    need current_process = {"GetCurrentProcess", limited ? 1 : 0,
                            "the launcher's own handle, to join the job (no relay line in Wine)",
                            false};
    size_t join = find_call(r, "AssignProcessToJobObject");
    if (limited)
        checks.push_back({"AssignProcessToJobObject joins the current process (handle ffffffff,"
                          " GetCurrentProcess's result)",
                          join < r.calls.size() && r.calls[join].arguments.size() > 1 &&
                              r.calls[join].arguments[1] == 0xFFFFFFFFu});
    std::vector<need> waiting = {
        {"CreateJobObjectA", 1, "the job that ends the command with the launcher"},
        {"SetInformationJobObject", made ? 1 + joined : 0,
         joined ? "kill on close before the command is created; lifted once it ended"
                : "kill on close (the job was not joined, so nothing to lift)"},
        current_process,
        {"AssignProcessToJobObject", limited ? 1 : 0,
         "the launcher joins, so the command is born inside"},
        {"SetConsoleCtrlHandler", 1, "Ctrl+C and Ctrl+Break left to the command"},
        {"CloseHandle", made && !joined ? 2 : 1,
         made && !joined ? "the thread handle; the job not joined" : "the thread handle"},
        {"WaitForSingleObject", 1, "the wait for the command"},
        {"GetExitCodeProcess", waited ? 1 : 0, "its exit code, once the wait succeeded"},
    };
    for (const need &n : waiting)
        add_need(needs, n);
    notes.push_back(std::string("the job was ") +
                    (joined ? "made and joined" : made ? "made but not joined" : "not made") +
                    ", and the wait " + (waited ? "ended with the command" : "FAILED"));
}

/* What the file beside a named launcher gives, as far as the calls depend
   on it. */
struct shim_file {
    std::string name; /* NAME.shim, as it lies beside NAME.exe */
    bool read = false;
    std::string path;
    bool has_directory = false;
    int libraries = 0;
    int variables = 0;  /* env lines */
    int references = 0; /* %NAME% in path, directory, lib and env values */
};

/* The %NAME% references of a value: "%~dp0" is the exe's folder and "%%"
   one "%", neither read from the environment. */
static int count_references(const std::string &value)
{
    int count = 0;
    for (size_t at = value.find('%'); at != std::string::npos; at = value.find('%', at)) {
        if (value.compare(at, 5, "%~dp0") == 0 || value.compare(at, 2, "%%") == 0) {
            at += value[at + 1] == '%' ? 2 : 5;
            continue;
        }
        size_t close = value.find('%', at + 1);
        if (close == std::string::npos)
            break;
        count++;
        at = close + 1;
    }
    return count;
}

static std::string trim_blanks(const std::string &s)
{
    size_t from = s.find_first_not_of(" \t"), to = s.find_last_not_of(" \t");
    return from == std::string::npos ? "" : s.substr(from, to - from + 1);
}

/* NAME.shim beside NAME.exe, taken apart as the named launcher takes it
   (shim/parse_shim.cpp): lines of "key = value", blank lines and "#"
   comments passed over, keys in any case, a value wholly in double quotes
   without them.  A file the launcher refuses shows in the trace anyway, as
   a start that never came. */
static shim_file read_shim_file_beside(const std::string &exe)
{
    shim_file f;
    size_t slash = exe.find_last_of('/'), dot = exe.find_last_of('.');
    bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string path = (has_extension ? exe.substr(0, dot) : exe) + ".shim";
    f.name = path.substr(path.find_last_of('/') + 1);
    std::ifstream in(path, std::ios::binary);
    f.read = (bool)in;
    std::string line;
    for (bool first = true; std::getline(in, line); first = false) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = trim_blanks(line);
        size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        std::string key = lower(trim_blanks(line.substr(0, equals)));
        std::string value = trim_blanks(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (key == "path")
            f.path = value;
        else if (key == "directory")
            f.has_directory = true;
        else if (key == "lib")
            f.libraries++;
        else if (key == "env")
            f.variables++;
        if (key != "args")
            f.references += count_references(value);
    }
    return f;
}

/* A path with no directory part is looked for through PATH alone, a walk
   this tool does not follow for a named launcher. */
static bool is_bare(const std::string &path)
{
    return path.find_first_of("\\/") == std::string::npos &&
           (path.size() < 2 || path[1] != ':');
}

/*
 * Start-up, in every build (runtime/start.cpp and what it calls): the heap,
 * the handle table, the code page, the command line read wide and
 * converted, the stream table.  The launchers then copy the environment
 * into the snapshot and split the command line into the argument vector;
 * a named launcher keeps its command line whole and reads PATH alone, for
 * the search.  Then the part of run_launcher that every build goes
 * through: PATH read for the limit and the value, and the hand-over.
 */
static std::vector<need> list_common_needs(bool waits, bool named, const trace_reading &r,
                                           std::vector<std::string> &notes,
                                           std::vector<check> &checks)
{
    uint32_t code_page = get_first_result(r, "GetACP", 0);
    bool ask_code_page = !is_builtin_code_page(code_page);
    notes.push_back("ANSI code page " + std::to_string(code_page) +
                    (ask_code_page ? ": not built in, so GetCPInfo is asked"
                                   : ": built in, so GetCPInfo is not asked"));
    int strings = 0;
    if (!named) {
        bool strings_consistent;
        strings = count_snapshot_strings(r, &strings_consistent);
        checks.push_back({std::to_string(strings) +
                              " environment strings copied into the snapshot, between the release"
                              " of the command line and that of the environment block; the"
                              " snapshot vector's size agrees",
                          strings_consistent});
    }
    size_t start = find_call(r, "CreateProcessA");
    uint32_t flags = start < r.calls.size() && r.calls[start].arguments.size() > 5
                         ? r.calls[start].arguments[5]
                         : 0xFFFFFFFFu;
    checks.push_back({"CreateProcessA's creation flags are 0, as every build sets", flags == 0});
    std::vector<need> needs = {
        {"HeapCreate", 1, "the private heap"},
        {"GetStartupInfoA", 1, "a handle inheritance block, if any"},
        {"GetStdHandle", 3, "standard input, output, error"},
        {"GetFileType", 3, "their types"},
        {"SetHandleCount", 1, "the slot count"},
        {"GetACP", 1, "lead bytes, conversion flags"},
        {"GetCPInfo", ask_code_page ? 1 : 0, "only for a code page not built in"},
        {"GetCommandLineW", 1, "the command line, converted without best fit"},
        {"GetEnvironmentVariableW", 1, "PATH's value"},
        {"GetEnvironmentVariableA", 1, "LAUNCHER_TRACE, looked up once"},
        {"CreateProcessA", 1, "the hand-over"},
        {"ExitProcess", 1, waits ? "with the command's exit code" : "exit_quickly"},
    };
    if (waits)
        add_need(needs, {"GetStartupInfoA", 1, "the caller's window state, for the command"});
    if (named) {
        add_need(needs, {"HeapAlloc", 4,
                         "start-up 4: handle slots, command line, PATH for the search, stream table"});
        add_need(needs, {"WideCharToMultiByte", 4,
                         "size, then text: command line; PATH for the search"});
        add_need(needs, {"GetEnvironmentVariableW", 1, "PATH for the search, before any env line"});
        return needs;
    }
    add_need(needs, {"GetEnvironmentVariableA", 1, "PATH's length in bytes, for the limit"});
    add_need(needs, {"HeapAlloc", 6 + strings,
                     "start-up 6 + one per environment string: handle slots, command line,"
                     " environment block, argument vector, snapshot vector, stream table"});
    add_need(needs, {"WideCharToMultiByte", 4, "size, then text: command line; environment"});
    add_need(needs, {"GetEnvironmentStringsW", 1, "the environment snapshot"});
    add_need(needs, {"FreeEnvironmentStringsW", 1, "the wide block"});
    add_need(needs, {"GetModuleFileNameA", 1, "the fallback program name"});
    add_need(needs, {"HeapFree", 2, "command line, environment block"});
    return needs;
}

/* launcher DIRECTORY COMMAND (builds/from_command_line.cpp): the library
   directory from the current directory, the change of directory, then the
   command in DIRECTORY or, in the "on-path" scenario, in the first entry of
   PATH after a miss in DIRECTORY. */
static void add_launcher_needs(bool on_path, const trace_reading &r, std::vector<need> &needs,
                               std::vector<std::string> &notes, std::vector<check> &checks)
{
    add_need(needs, {"HeapAlloc", on_path ? 7 : 5,
                     on_path ? "PATH value, prefixed name, probing buffer, candidate of the PATH"
                               " walk, its probing buffer, joined command line, handle block"
                             : "PATH value, prefixed name, probing buffer, joined command line,"
                               " handle block"});
    add_need(needs, {"HeapFree", on_path ? 4 : 2,
                     on_path ? "PATH value, probing buffer and prefixed name of the miss in"
                               " DIRECTORY, handle block"
                             : "PATH value, handle block"});
    add_need(needs, {"GetCurrentDirectoryA", 1, "start directory's length in bytes, for the limit"});
    add_need(needs, {"GetCurrentDirectoryW", 2, "start directory's value; directory after the change"});
    add_need(needs, {"SetEnvironmentVariableW", 2, "PATH; the drive-directory variable"});
    add_need(needs, {"SetCurrentDirectoryA", 1, "the change of directory"});
    add_need(needs, {"GetFileAttributesA", on_path ? 6 : 2,
                     on_path ? "4 in the directory, .com and .exe in the first PATH entry"
                             : ".com (missing) and .exe"});
    add_need(needs, {"GetLastError", on_path ? 6 : 2,
                     "after each missing candidate and after CreateProcessA"});
    if (!on_path) {
        notes.push_back("CompareStringA is not needed here: PATH is looked up in the snapshot only"
                        " when the command is not in DIRECTORY");
        return;
    }
    bool comparisons_consistent;
    int comparisons = count_needed_comparisons(r, &comparisons_consistent);
    add_need(needs, {"CompareStringA", comparisons, "four-letter names up to PATH"});
    checks.push_back({"CompareStringA compares four-byte names against \"PATH\" and stops at"
                      " the first equal one",
                      comparisons_consistent});
}

/* The text of the first quoted argument of a relay line, as the line shows
   it (backslashes doubled, quotes escaped), or "". */
static std::string first_quoted_argument(const std::string &line)
{
    size_t open = line.find('"', line.find(":Call "));
    if (open == std::string::npos)
        return "";
    size_t close = open + 1;
    while (close < line.size() && line[close] != '"')
        close += line[close] == '\\' ? 2 : 1;
    return close < line.size() ? line.substr(open + 1, close - open - 1) : "";
}

/*
 * NAME.exe, a copy of shim.exe, first reads its own header and asks
 * whether it has a console (builds/shim.cpp); then it reads NAME.shim
 * (shim/named_file.cpp), the path given
 * with a directory part: the file is named from the exe's own path, whose
 * folder and the file's name are converted to the ANSI code page once each;
 * the exe's own size is asked, to tell it from the command without opening
 * it (the command, of another size, is known through the handle that reads
 * its header, so two files are opened: NAME.shim and the command); the chain
 * of named launchers is counted in two variables; the file is read whole,
 * proved UTF-8 and converted to the ANSI code page at once.  Each value is
 * then resolved in file order into a text of its own: a reference reads
 * its variable, converted at once, and an env line sets its variable.  The
 * command, the later part of its command line and the wording of each
 * value for a failure's message are joined from those texts.  The start
 * directory is the exe's folder, so the current directory is never asked;
 * the change of directory comes only with "directory", PATH is set only
 * with "lib", each lib converted to UTF-16 and made absolute once.  Then
 * the file is started where the path says (one probe when it names an
 * extension, else .com, missing here, and .exe), once it is known not to
 * be the launcher itself; before its start the chain is passed on, with
 * the command's identity from the same handle and a look for a .shim
 * beside it (none here: the command is no named launcher, so the own exe
 * is not opened).
 */
static void add_named_needs(const shim_file &file, const trace_reading &r,
                            std::vector<need> &needs, std::vector<std::string> &notes,
                            std::vector<check> &checks)
{
    int d = file.has_directory ? 1 : 0, l = file.libraries > 0 ? 1 : 0;
    int e = file.variables, v = file.references;
    std::string last = file.path.substr(file.path.find_last_of("\\/") + 1);
    int probing = last.find('.') == std::string::npos ? 1 : 0;
    int settings = 1 + d + file.libraries + e;
    add_need(needs, {"GetModuleHandleA", 1, "its own header: a copy set to GUI has no console"});
    add_need(needs, {"GetConsoleProcessList", 1, "a console at start, or the caller's to ask for"});
    add_need(needs, {"GetModuleFileNameW", 1, "the exe's own path: names NAME.shim, and its folder"
                                              " is the start directory"});
    add_need(needs, {"GetFileAttributesExW", 1, "the exe's own size: only a candidate of that"
                                                " size is compared with its opened own file"});
    add_need(needs, {"CreateFileW", 1, "opens NAME.shim"});
    add_need(needs, {"GetFileInformationByHandle", 2, "the found file's identity, through the"
                                                      " handle that reads its header: for the"
                                                      " check, and for the chain passed on"});
    add_need(needs, {"ReadFile", 2, "the file whole, then the read that finds its end (0 bytes)"});
    add_need(needs, {"CloseHandle", 1, "the file"});
    add_need(needs, {"GetEnvironmentVariableW", 2 + v,
                     "the chain of named launchers, its two variables; each reference"});
    add_need(needs, {"MultiByteToWideChar", 2 + file.libraries + 2 * e + v,
                     "the file from UTF-8, which proves it UTF-8; each lib to UTF-16; name and"
                     " value of each env line; each reference's name; the found file's name"});
    add_need(needs, {"HeapAlloc", 9 + settings + 2 * d + file.libraries + l + probing,
                     std::string("start directory, file name, the file's text, each value"
                                 " resolved, command, the file's args joined with the caller's"
                                 " arguments, \"path = ...\" for a message") +
                         (d ? ", directory, \"directory = ...\" for a message" : "") +
                         (l ? ", each lib, PATH value" : "") + (probing ? ", probing buffer" : "") +
                         ", the name of a .shim beside the command, joined command line,"
                         " handle block"});
    add_need(needs, {"WideCharToMultiByte", 6 + v,
                     "size and text of each: the start directory, the file name, the file's text;"
                     " each reference's value"});
    add_need(needs, {"GetFullPathNameW", file.libraries, "each lib made absolute"});
    add_need(needs, {"HeapFree", l + 2, l ? "PATH value, .shim name, handle block"
                                          : ".shim name, handle block"});
    add_need(needs, {"SetEnvironmentVariableW", 2 + e + l + d,
                     std::string("the chain's two variables; each env line") +
                         (l ? "; PATH, for lib" : "") + (d ? "; the drive-directory variable" : "")});
    add_need(needs, {"SetCurrentDirectoryA", d, "the change of directory, for directory"});
    add_need(needs, {"GetCurrentDirectoryW", d, "the directory after the change"});
    add_need(needs, {"GetFileAttributesA", 2 + probing,
                     std::string(probing ? ".com (missing) and .exe" : "the file the path names") +
                         "; a .shim beside it"});
    add_need(needs, {"GetLastError", 1 + probing,
                     probing ? "after the missing candidate and after CreateProcessA"
                             : "after CreateProcessA"});
    notes.push_back(file.name + " gives path = " + file.path + (d ? ", a directory" : "") + ", " +
                    std::to_string(file.libraries) + " lib, " + std::to_string(e) +
                    " env and " + std::to_string(v) + " reference; GetCurrentDirectoryA is not"
                    " needed: the start directory is the exe's folder; CompareStringA is not"
                    " needed: a path with a directory part is not looked for through PATH");
    notes.push_back(std::to_string(1 + d) + " of the allocations word a value for a message that"
                    " only a failure shows, joined from texts already converted");
    bool opened = false;
    for (size_t open = find_call(r, "CreateFileW"); open < r.calls.size();
         open = find_call(r, "CreateFileW", open + 1))
        opened |= lower(r.calls[open].line).find("\\\\" + lower(file.name) + "\"") !=
                  std::string::npos;
    checks.push_back({"CreateFileW opens " + file.name + " beside the exe", opened});
    size_t files = 0;
    for (const char *name : {"CreateFileW", "CreateFileA"})
        for (size_t at = find_call(r, name); at < r.calls.size(); at = find_call(r, name, at + 1))
            files++;
    checks.push_back({"two files opened, " + file.name + " and the command: " +
                          std::to_string(files),
                      files == 2});
    size_t start = find_call(r, "CreateProcessA");
    std::string started = start < r.calls.size() ? first_quoted_argument(r.calls[start].line) : "";
    checks.push_back({"CreateProcessA's command line is the file it starts, in double quotes",
                      !started.empty() && r.calls[start].line.find("\"\\\"" + started + "\\\"") !=
                                              std::string::npos});
}

/*
 * The x86 builds see System32 as a 64-bit program does
 * (builds/native_view_wow64.cpp): WoW64's two functions are looked up at
 * run time, the redirection is turned off for the search and the start and
 * back on once the command has started.  Where a function is missing or
 * the switch fails (32-bit Windows), the calls after it are not made.  Then
 * the found file's header gives the width of the handle block
 * (exec/handle_width.cpp), read from the file that is started.
 */
static void add_native_view_needs(const trace_reading &r, std::vector<need> &needs,
                                  std::vector<std::string> &notes, std::vector<check> &checks)
{
    std::vector<uint32_t> found = get_results(r, "GetProcAddress");
    bool both = found.size() == 2 && found[0] && found[1];
    bool turned_off = both && get_first_result(r, "Wow64DisableWow64FsRedirection", 0) != 0;
    add_need(needs, {"GetModuleHandleA", 1, "KERNEL32, whose WoW64 functions are looked up"});
    add_need(needs, {"GetProcAddress", 2, "the two WoW64 functions, absent before Vista"});
    add_need(needs, {"Wow64DisableWow64FsRedirection", both ? 1 : 0,
                     "System32 as a 64-bit program sees it, for the search and the start"});
    add_need(needs, {"Wow64RevertWow64FsRedirection", turned_off ? 1 : 0,
                     "the redirection back on once the command has started"});
    notes.push_back(turned_off ? "WoW64's redirection was turned off (a 64-bit system)"
                               : "WoW64's redirection was not turned off (a 32-bit system)");
    add_need(needs, {"CreateFileA", 1, "the found file, whose machine gives the block's width"});
    add_need(needs, {"ReadFile", 2, "its DOS header; the PE signature and machine"});
    add_need(needs, {"SetFilePointer", 1, "to the PE header"});
    add_need(needs, {"CloseHandle", 1, "the found file"});
    size_t open = find_call(r, "CreateFileA"), start = find_call(r, "CreateProcessA");
    std::string opened = open < r.calls.size() ? first_quoted_argument(r.calls[open].line) : "";
    checks.push_back({"CreateFileA reads the header of the file CreateProcessA starts",
                      !opened.empty() && start < r.calls.size() &&
                          first_quoted_argument(r.calls[start].line) == opened});
}

static std::vector<need> list_needs(const std::string &scenario, bool waits, const trace_reading &r,
                                    const shim_file &file, std::vector<std::string> &notes,
                                    std::vector<check> &checks)
{
    std::vector<need> needs = list_common_needs(waits, scenario == "named", r, notes, checks);
    if (scenario == "named")
        add_named_needs(file, r, needs, notes, checks);
    else
        add_launcher_needs(scenario == "on-path", r, needs, notes, checks);
    add_native_view_needs(r, needs, notes, checks);
    if (waits)
        add_waiting_needs(r, needs, notes, checks);
    return needs;
}

int main(int count, char **words)
{
    bool waits = count == 5 && std::string(words[4]) == "waits";
    std::string scenario = count >= 4 ? words[3] : "";
    if ((count != 4 && !waits) ||
        (scenario != "in-directory" && scenario != "on-path" && scenario != "named")) {
        std::fprintf(stderr, "usage: attribute_relay_calls EXE TRACE in-directory|on-path|named"
                             " [waits]\n");
        return 2;
    }
    image im;
    if (!load_image(words[1], im)) {
        std::fprintf(stderr, "attribute_relay_calls: %s is not a 32-bit PE image\n", words[1]);
        return 2;
    }
    std::string path = words[1];
    std::string exe_name = path.substr(path.find_last_of('/') + 1);
    shim_file file;
    if (scenario == "named") {
        file = read_shim_file_beside(path);
        if (!file.read || file.path.empty() || is_bare(file.path)) {
            std::fprintf(stderr, "attribute_relay_calls: %s beside %s must give a path with a"
                                 " directory part\n", file.name.c_str(), exe_name.c_str());
            return 2;
        }
    }
    trace_reading r;
    read_trace(words[2], exe_name, im, r);
    if (!r.found_image) {
        std::fprintf(stderr, "attribute_relay_calls: %s was not loaded in the trace\n", exe_name.c_str());
        return 2;
    }

    std::vector<std::string> order;
    std::map<std::string, int> made;
    std::map<std::string, std::string> entered;
    for (const observed_call &c : r.calls) {
        if (!made[c.name]++)
            order.push_back(c.name);
        std::string function = c.wine_entry.substr(c.wine_entry.find('.') + 1);
        if (function != c.name)
            entered[c.name] = c.wine_entry;
    }
    std::vector<std::string> notes;
    std::vector<check> checks;
    std::vector<need> needs = list_needs(scenario, waits, r, file, notes, checks);
    std::map<std::string, const need *> need_of;
    for (const need &n : needs)
        need_of[n.name] = &n;
    for (const need &n : needs)
        if (!made.count(n.name) && n.count > 0)
            order.push_back(n.name);

    int extra = 0, wrong = 0, failed = 0, unseen = 0;
    std::printf("  %-32s %6s %6s   %s\n", "call (first-use order)", "made", "needed", "why needed");
    for (const std::string &name : order) {
        const need *n = need_of.count(name) ? need_of[name] : nullptr;
        int needed = n ? n->count : 0;
        int m = made.count(name) ? made[name] : 0;
        /* A call Wine never relays is counted as needed, not as made: its
           use is checked through the call that takes its result. */
        bool hidden = n && !n->relayed && m == 0;
        std::string mark = m == needed || hidden ? ""
                           : needed == 0        ? "   <- NOT NEEDED"
                                                : "   <- COUNT DIFFERS";
        if (hidden)
            unseen += needed;
        else if (needed == 0)
            extra += m;
        else if (m != needed)
            wrong++;
        std::string dll = im.dll_of.count(name)     ? im.dll_of[name]
                          : r.looked_up.count(name) ? "KERNEL32.dll"
                                                    : "?";
        std::string via = r.looked_up.count(name) ? "  [looked up at run time]"
                          : entered.count(name)   ? "  [Wine enters " + entered[name] + "]"
                                                  : "";
        std::printf("  %-32s %6s %6d   %s%s%s\n", (dll == "KERNEL32.dll" ? name : dll + "!" + name).c_str(),
                    hidden ? "-" : std::to_string(m).c_str(), needed, n ? n->why.c_str() : "",
                    via.c_str(), mark.c_str());
    }
    for (const std::string &note : notes)
        std::printf("  %s\n", note.c_str());
    for (const check &c : checks) {
        std::printf("  %s: %s\n", c.text.c_str(), c.holds ? "yes" : "NO");
        failed += !c.holds;
    }
    int by_site = 0;
    for (const observed_call &c : r.calls)
        by_site += c.named_by_site;
    std::printf("  %zu calls from %s's image, %d named from their call site, %zu from"
                " the relay line\n", r.calls.size(), exe_name.c_str(), by_site,
                r.calls.size() - (size_t)by_site);
    if (unseen)
        std::printf("  with %d that Wine does not relay: %zu calls in all\n", unseen,
                    r.calls.size() + (size_t)unseen);
    std::printf("  calls the design does not need: %d; counts that differ: %d; checks that fail: %d\n",
                extra, wrong, failed);
    return extra || wrong || failed ? 1 : 0;
}
