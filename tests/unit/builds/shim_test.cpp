/* shim.exe: whole named starts, from C:\app\MyApp.exe and its MyApp.shim,
   called from C:\caller (which holds a tool.exe of its own) with
   PATH=C:\onpath;C:\tools, where C:\onpath\tool.exe and
   C:\app\bin\other.exe are hard links of MyApp.exe itself, and
   C:\second\tool.exe a copy of another build (another size).  {own} and
   {first} stand for the identities of MyApp.exe and C:\first\tool.exe, a
   launcher in a folder of its own, {tools} and {second} for the others'. */
#include "tests/unit/fixture.h"

namespace {

using strings = std::vector<std::string>;

struct named_start {
    std::string name;
    std::string shim;      /* MyApp.shim; empty: there is none */
    std::string arguments; /* the caller's, after the program name */
    strings variables;     /* NAME=VALUE set before the start */
    std::string line;      /* the command's line; empty: nothing starts */
    std::string directory; /* where it starts */
    std::string message;   /* standard error */
    std::string after;     /* NAME=VALUE the command gets, joined by "|" */
    const char *failing = nullptr; /* a call refused with `error` */
    int failing_at = 1;             /* at that call's nth use */
    int failing_allocation = 0; /* the run's heap allocation refused; 0: none */
    DWORD start_error = 0;  /* CreateProcessA's answer for bin\tool.exe */
    bool elevated = false;  /* the launcher runs elevated already */
    std::string shell;      /* each ShellExecuteExW: verb|file|parameters|directory|mask|show */
    DWORD error = ERROR_ACCESS_DENIED;
    WORD show = 0;         /* the caller's window state; 0: none given */
    /* The caller's start-up flags where it gives a window state. */
    DWORD flags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    char subsystem = 0;    /* in bin\tool.exe's header; 0: no header */
    size_t header = 0;     /* bytes of that header kept; 0: all */
    UINT code_page = 1252; /* the ANSI code page; variables are given in UTF-8 */
    std::string refused;   /* a folder whose files the platform refuses */
    DWORD console = 2;     /* processes on the launcher's console */
    bool freed = false;    /* the console let go between the start and the wait */
    /* Files the run opens: its own file and the command's, and a third for
       each candidate of the launcher's own size on the way. */
    size_t files = 2;
    /* No console (console 0) nor standard handles: AllocConsoleWithOptions
       is missing (0), makes none (1) or the one the caller asked for (2). */
    int allocate = 0;
    bool gui_copy = false;  /* the launcher's header names the GUI subsystem */
    bool hidden = false;    /* its window station is one nobody sees */
    bool error_refused = false; /* standard error refuses every write */
    std::string box;        /* the box's text; empty: none */
    std::string logged;     /* the debugger output's and the event log's */
    size_t event_units = 0; /* the UTF-16 units the event log keeps of it; 0: all */
};

/* ctest shows the row's name beside its case's. */
void PrintTo(const named_start &row, std::ostream *out)
{
    *out << row.name;
}

/* A row of the table, its fields by name: row("a name").shim(tool).show(1).
   A field not given keeps the default above. */
class row {
public:
    explicit row(const char *name) { start.name = name; }
    operator const named_start &() const { return start; }
    row &shim(const std::string &text) { start.shim = text; return *this; }
    row &arguments(const std::string &text) { start.arguments = text; return *this; }
    row &variables(const strings &list) { start.variables = list; return *this; }
    row &line(const std::string &text) { start.line = text; return *this; }
    row &directory(const std::string &text) { start.directory = text; return *this; }
    row &message(const std::string &text) { start.message = text; return *this; }
    row &after(const std::string &text) { start.after = text; return *this; }
    row &failing(const char *call, int at = 1)
    {
        start.failing = call;
        start.failing_at = at;
        return *this;
    }
    row &failing_allocation(int n) { start.failing_allocation = n; return *this; }
    row &start_error(DWORD code) { start.start_error = code; return *this; }
    row &elevated(bool value) { start.elevated = value; return *this; }
    row &shell(const std::string &text) { start.shell = text; return *this; }
    row &error(DWORD code) { start.error = code; return *this; }
    row &show(WORD state) { start.show = state; return *this; }
    row &flags(DWORD value) { start.flags = value; return *this; }
    row &subsystem(char value) { start.subsystem = value; return *this; }
    row &header(size_t bytes) { start.header = bytes; return *this; }
    row &code_page(UINT number) { start.code_page = number; return *this; }
    row &refused(const std::string &folder) { start.refused = folder; return *this; }
    row &console(DWORD count) { start.console = count; return *this; }
    row &freed(bool value) { start.freed = value; return *this; }
    row &files(size_t count) { start.files = count; return *this; }
    row &allocate(int answer) { start.allocate = answer; return *this; }
    row &gui_copy() { start.gui_copy = true; return *this; }
    row &hidden() { start.hidden = true; return *this; }
    row &error_refused() { start.error_refused = true; return *this; }
    row &box(const std::string &text) { start.box = text; return *this; }
    row &logged(const std::string &text) { start.logged = text; return *this; }
    row &event_units(size_t count) { start.event_units = count; return *this; }

private:
    named_start start;
};

/* A bare path, from the caller's folder. */
row bare(const char *name) { return row(name).shim("path = tool").directory("C:\\caller"); }
const std::string file = "C:\\app\\MyApp.shim";
const std::string whole = "\xef\xbb\xbfpath = bin\\tool\r\nargs = --fixed \"x y\" %~dp0x\r\n"
                          "lib = ..\\app\\.\\lib/\r\ndirectory = work\r\nenv = A = %HOME%\\a\r\n#";
const std::string chain = "=ShimChain=3", next = "|=ShimNext=";
const std::string marks = "=ShimChain=" + std::string(31, '>');
const std::string chain_message =
    "Shim Failed: more than 32 named launchers in a chain\r\n" + file + "\r\n";
const std::string first_path = "PATH=C:\\first;C:\\onpath;C:\\tools";
const std::string at_tools = "\"C:\\tools\\tool.exe\"", at_first = "\"C:\\first\\tool.exe\"";
const std::string second_path = "PATH=C:\\second;C:\\onpath;C:\\tools";
const std::string at_second = "\"C:\\second\\tool.exe\"";
const std::string missing = "No such file or directory (Windows error 2)";
const std::string invalid = "Invalid argument (Windows error 123)", wide(600, 'w'), bad(24, 'G');
const std::string tool = "path = bin\\tool.exe\n";
const std::string started = "\"C:\\app\\bin\\tool.exe\"", at_tool = "path = bin\\tool.exe in " + file;
std::string code(int number) { return " (Windows error " + std::to_string(number) + ")\r\n"; }
/* Four lib lines of 8186 characters each, the last one longer by `more`:
   with PATH, ";" between them and the terminator, 32767 characters. */
const std::string lib = "C:\\" + std::string(8183, 'l');
const std::string libraries = lib + ";" + lib + ";" + lib + ";" + lib;
std::string lib_lines(size_t more)
{
    return "lib = " + lib + "\nlib = " + lib + "\nlib = " + lib + "\nlib = " + lib +
           std::string(more, 'l');
}
const std::string long_path = ".;\\caller;C:;C:\\" + std::string(8965, 'p') + ";C:\\onpath;C:\\tools";
const std::string nothing = "path = bin\\nothing.exe";
const std::string lost =
    "Exec Failed: No such file or directory\npath = bin\\nothing.exe in " + file + " (Windows error 2)";
const std::string written = "Exec Failed: No such file or directory\r\npath = bin\\nothing.exe in " +
                            file + " (Windows error 2)\r\n";
/* The message of a line of `length` "b"s without "=", which ends with
   `last`: 53 characters more. */
std::string wrong_line(size_t length, const std::string &last = "")
{
    return "Shim Failed: a line without \"=\"\n" + std::string(length, 'b') + last + " in " + file;
}
/* Characters of two UTF-16 units, D800 DC00 and DBFF DFFF. */
const std::string first_pair = "\xf0\x90\x80\x80", last_pair = "\xf4\x8f\xbf\xbf";
/* A message of 53 + length "b"s + the character, in UTF-8; the event log
   keeps `units` of it. */
row surrogates(const char *name, size_t length, const std::string &character, size_t units)
{
    return row(name).code_page(CP_UTF8).shim(tool + std::string(length, 'b') + character)
        .gui_copy().hidden().logged(wrong_line(length, character)).event_units(units).files(1);
}
std::string repeat(const std::string &piece, size_t count)
{
    std::string all;
    for (size_t i = 0; i < count; i++)
        all += piece;
    return all;
}
const std::string utf8_value = repeat("\xe6\x97\xa5", 32766);
const char too_long[] =
    "Shim Failed: variable too long, maximum size supported is 32767 characters\r\n";

/* The file's limit, a chain's, the command line's and a variable's: each at
   the limit and one past it. */
const named_start named_starts[] = {
    row("a file of 65536 bytes").shim(whole + std::string(65536 - whole.size(), '-'))
        .arguments("a \"b c\"  d\\\"e ")
        .line("\"C:\\app\\bin\\tool.exe\" --fixed \"x y\" C:\\app\\x a \"b c\"  d\\\"e ")
        .directory("C:\\app\\work").after("A=C:\\h\\a|PATH=C:\\onpath;C:\\tools;C:\\app\\lib\\"),
    row("a file of 65537 bytes").shim(whole + std::string(65537 - whole.size(), '-'))
        .message("Shim Failed: File too large\r\n" + file + "\r\n").files(1),
    row("no file").message("Shim Failed: No such file or directory\r\n" + file + code(2)).files(1),
    /* A bare path: never the caller's directory, and its own file passed over. */
    bare("the 32nd in a chain").variables({chain + "1", "=ShimNext=2"}).line(at_tools)
        .after(chain + "2" + next + "32;{tools}").files(4),
    bare("the 33rd in a chain").variables({chain + "2"}).message(chain_message).files(1),
    bare("a chain of abc counts as one").variables({"=ShimChain=abc"}).line(at_tools)
        .after("=ShimChain=2" + next + "2;{tools}").files(4),
    bare("an identity cut short counts as none").variables({"=ShimChain=1;ABC"}).line(at_tools)
        .after("=ShimChain=2" + next + "2;{tools}").files(4),
    /* The chain's launchers are passed over where the one before started
       this one itself; from an ancestor of another program, never. */
    bare("two folders of launchers on PATH").line(at_tools).files(5)
        .variables({first_path, "=ShimChain=1;{first}", "=ShimNext=1;{own}"}),
    bare("a launcher in an ancestor's chain").line(at_first).files(3).after("=ShimChain=28")
        .variables({first_path, "=ShimChain=27;{first}", "=ShimNext=27;{tools}"}),
    bare("a chain without the file started").line(at_first).files(3)
        .variables({first_path, "=ShimChain=1;{first}"}).after(next.substr(1) + "2;{first}"),
    bare("more identities than the count").line(at_first).files(3)
        .variables({first_path, "=ShimChain=1;{first};{first}", "=ShimNext=1;{own}"}),
    bare("an identity of other digits").line(at_first).files(3)
        .variables({first_path, "=ShimChain=2;{first};" + bad, "=ShimNext=2;{own}"}),
    bare("two files started").line(at_first).files(3)
        .variables({first_path, "=ShimChain=1;{first}", "=ShimNext=2;{own};{own}"}),
    /* A named launcher as the command learns this one, whatever its size. */
    bare("a copy of another size first on PATH").variables({second_path}).line(at_second)
        .after("=ShimChain=1;{own}" + next + "1;{second}").files(3),
    bare("the chain passed on to a named launcher").line(at_second).files(3)
        .variables({second_path, "=ShimChain=9;{first}", "=ShimNext=9;{own}"})
        .after("=ShimChain=10;{first};{own}"),
    bare("an ancestor's chain passed on to a named launcher").line(at_second).files(3)
        .variables({second_path, "=ShimChain=8;{first}"}).after("=ShimChain=9;{own}"),
    bare("a chain that holds this launcher already").line(at_second).files(3)
        .variables({second_path, "=ShimChain=10;{first};{own}", "=ShimNext=10;{own}"})
        .after("=ShimChain=11;{first};{own}"),
    /* The largest count either variable can be read as, whatever older
       copies made of the chain: 1.3.0's marks, 1.4.0's count with them. */
    bare("31 marks").variables({marks}).line(at_tools).after("=ShimChain=32").files(4),
    bare("32 marks").variables({marks + ">"}).message(chain_message).files(1),
    bare("a count of 30 and one mark").variables({"=ShimChain=30;{first}>"}).line(at_tools)
        .after("=ShimChain=32").files(4),
    bare("a count of 30 and two marks").variables({"=ShimChain=30;{first}>>"})
        .message(chain_message).files(1),
    bare("a count of twenty nines").variables({"=ShimChain=" + std::string(20, '9')})
        .message(chain_message).files(1),
    bare("a count with more after it").variables({"=ShimChain=31x"}).line(at_tools)
        .after("=ShimChain=32").files(4),
    bare("a value too long to read").variables({"=ShimChain=" + std::string(900, '1')})
        .line(at_tools).after("=ShimChain=2").files(4),
    /* The longest value in the chain's form, 32 and as many identities,
       is read; one character more is too long to read. */
    bare("a chain of 32 in 802 characters").variables({"=ShimChain=32" + repeat(";{first}", 32)})
        .message(chain_message).files(1),
    bare("a chain of 32 in 803 characters")
        .variables({"=ShimChain=32" + repeat(";{first}", 32) + ">"}).line(at_tools)
        .after("=ShimChain=2").files(4),
    bare("a next count of 31").variables({"=ShimChain=1", "=ShimNext=31;{own}"}).line(at_tools)
        .after("=ShimChain=32" + next + "32;{tools}").files(4),
    bare("a next count of 32").variables({"=ShimChain=1", "=ShimNext=32"}).message(chain_message)
        .files(1),
    row("its own file first").shim("path = tool.exe").line("\"C:\\tools\\tool.exe\"")
        .directory("C:\\caller").after("=ShimChain=1").files(4),
    /* ... and after a share that refused it, whose error is not the
       launcher's reason to go on. */
    row("its own file after a refusing share").shim("path = tool.exe")
        .variables({"PATH=\\\\server\\share;C:\\onpath;C:\\tools"}).refused("\\\\server\\share")
        .line("\"C:\\tools\\tool.exe\"").directory("C:\\caller").after("=ShimChain=1")
        .files(4),
    /* A launcher of the same size is another file all the same. */
    /* A file that cannot be identified is none of the chain's: the count
       alone goes on. */
    row("a command that cannot be identified").shim(tool).line(started).directory("C:\\caller")
        .failing("GetFileInformationByHandle", 0).after("=ShimChain=1|=ShimNext=1"),
    row("another launcher of its size").shim("path = tool")
        .variables({"PATH=C:\\first;C:\\tools"}).line("\"C:\\first\\tool.exe\"")
        .directory("C:\\caller").after("=ShimChain=1").files(3),
    row("its own path cannot be had").message("Shim Failed: Permission denied\r\n")
        .failing("GetModuleFileNameW").files(0),
    /* Without memory for PATH as received, no search could be trusted. */
    row("no memory for PATH").shim("path = tool").variables({"PATH=C:\\tools"})
        .failing_allocation(3).files(0)
        .message("\r\nruntime error R6009\r\n- not enough space for environment\r\n"),
    row("its own file by another name").shim("path = bin\\other.exe")
        .message("Shim Failed: path leads to this launcher\r\npath = bin\\other.exe in " + file +
                 "\r\n").files(3),
    row("a command line of 32767 units").shim(tool + "args = " + std::string(32742, 'a'))
        .arguments("y").line("\"C:\\app\\bin\\tool.exe\" " + std::string(32742, 'a') + " y")
        .directory("C:\\caller"),
    row("a command line of 32768 units").shim(tool + "args = " + std::string(32743, 'a'))
        .arguments("y")
        .message("Exec Failed: Arg list too long\r\npath = bin\\tool.exe in " + file + "\r\n"),
    row("PATH and lib of 32766 characters").shim(tool + lib_lines(0))
        .line("\"C:\\app\\bin\\tool.exe\"").directory("C:\\caller")
        .after("PATH=C:\\onpath;C:\\tools;" + libraries),
    row("PATH and lib of 32767 characters").shim(tool + lib_lines(1))
        .message(too_long + file + "\r\n").after("PATH=C:\\onpath;C:\\tools").files(1),
    /* Without PATH no ";" comes between: the directories alone may fill
       the variable. */
    row("lib of 32766 characters, PATH removed").shim(tool + "env = PATH=\n" + lib_lines(19))
        .line(started).directory("C:\\caller")
        .after("PATH=" + libraries + std::string(19, 'l')),
    row("lib of 32767 characters, PATH removed").shim(tool + "env = PATH=\n" + lib_lines(20))
        .message(too_long + file + "\r\n").files(1),
    row("a directory that cannot be entered").shim(tool + "directory = %HOME%\\data")
        .message("Directory Failed: No such file or directory\r\ndirectory = C:\\h\\data in " +
                 file + code(3)).files(1),
    /* No empty entry for a removed PATH; a PATH beyond the launcher's 8192
       bytes, searched in its absolute entries alone, past an overlong one. */
    row("PATH removed plus lib").shim("lib = lib\n" + tool + "env = PATH=")
        .line("\"C:\\app\\bin\\tool.exe\"").directory("C:\\caller").after("PATH=C:\\app\\lib"),
    row("a PATH of 9000 characters").shim("path = tool").variables({"PATH=" + long_path})
        .line("\"C:\\tools\\tool.exe\"").directory("C:\\caller").after("PATH=" + long_path)
        .files(4),
    /* PATH as received counts, whatever the env lines make of it. */
    row("a PATH of 32767 characters set shorter").shim(tool + "env = PATH=C:\\tools")
        .variables({"PATH=" + std::string(32767, 'p')}).message(too_long + file + "\r\n")
        .files(1),
    row("a PATH of 32767 characters").shim(tool).variables({"PATH=" + std::string(32767, 'p')})
        .message(too_long + file + "\r\n").files(1),
    row("a lib that cannot be made absolute").shim(tool + "lib = lib")
        .message("Shim Failed: Permission denied\r\nlib = lib in " + file + code(5))
        .failing("GetFullPathNameW").files(1),
    /* This launcher again, elevated, at most once: Wine has no UAC, so only here. */
    row("elevation accepted").shim(tool).arguments("a \"b c\"")
        .line("\"C:\\app\\bin\\tool.exe\" a \"b c\"").directory("C:\\caller").start_error(740)
        .shell("runas|C:\\app\\MyApp.exe|a \"b c\"|C:\\caller|320|1"),
    row("elevation declined").shim(tool + "directory = work").line(started)
        .directory("C:\\app\\work")
        .message("Shim Failed: elevation was declined\r\n" + at_tool + code(1223))
        .failing("ShellExecuteExW").start_error(740)
        .shell("runas|C:\\app\\MyApp.exe||C:\\app\\work|320|1").error(ERROR_CANCELLED),
    /* The second look at its own path, the first having named the file. */
    row("elevation without its own path").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Permission denied\r\n" + at_tool + code(5)).start_error(740)
        .failing("GetModuleFileNameW", 2),
    row("740 while elevated").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Invalid argument\r\n" + at_tool + code(740)).start_error(740)
        .elevated(true),
    /* The Windows error where its number gains a digit, and the largest. */
    row("a Windows error of 10 digits").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Invalid argument\r\n" + at_tool + code(1000000000))
        .start_error(1000000000),
    row("a Windows error of 4294967295").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Invalid argument\r\n" + at_tool + " (Windows error 4294967295)\r\n")
        .start_error(4294967295u),
    row("an invalid name").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Invalid argument\r\n" + at_tool + code(123)).start_error(123),
    /* The caller's window state, and a GUI command's console. */
    row("a minimized caller").shim(tool).line(started).directory("C:\\caller")
        .show(SW_SHOWMINNOACTIVE),
    row("a maximized caller").shim(tool).line(started).directory("C:\\caller")
        .show(SW_SHOWMAXIMIZED),
    row("a GUI command on a console of its own").shim(tool).line(started).directory("C:\\caller")
        .subsystem(IMAGE_SUBSYSTEM_WINDOWS_GUI).console(1).freed(true),
    row("a GUI command on a shared console").shim(tool).line(started).directory("C:\\caller")
        .subsystem(IMAGE_SUBSYSTEM_WINDOWS_GUI),
    row("a GUI command on a console shared by three").shim(tool).line(started)
        .directory("C:\\caller").subsystem(IMAGE_SUBSYSTEM_WINDOWS_GUI).console(3),
    row("a console command on a console of its own").shim(tool).line(started)
        .directory("C:\\caller").subsystem(IMAGE_SUBSYSTEM_WINDOWS_CUI).console(1),
    /* Without a console: the one the caller asked for (24H2), or the
       message to the debugger and the event log, never a box.  A copy set to
       GUI shows its failure as shimw.exe; the console build with a console
       loses a refused one, as any console program. */
    row("no console, none asked for").shim(nothing).console(0).allocate(1).logged(lost).files(1),
    row("no console, one asked for").shim(nothing).console(0).allocate(2).message(written)
        .files(1),
    row("no console before 24H2").shim(nothing).console(0).logged(lost).files(1),
    row("a refused message on a console").shim(nothing).error_refused().files(1),
    row("no console, a refused message").shim(nothing).console(0).error_refused().logged(lost).files(1),
    row("a GUI copy's failure").shim(nothing).gui_copy().box(lost).files(1),
    row("a GUI copy on a hidden station").shim(nothing).gui_copy().hidden().logged(lost).files(1),
    row("a GUI copy's command").shim(tool).gui_copy().allocate(2).line(started)
        .directory("C:\\caller"),
    row("a command started without a console").shim(tool).console(0).line(started)
        .directory("C:\\caller"),
    /* Every message whole in the box; in the event log up to its limit,
       never half a character. */
    row("a message of 40053 characters in a box").shim(tool + std::string(40000, 'b')).gui_copy()
        .box(wrong_line(40000)).files(1),
    row("a message of 31839 characters logged").shim(tool + std::string(31786, 'b')).gui_copy()
        .hidden().logged(wrong_line(31786)).files(1),
    row("a message of 31840 characters logged").shim(tool + std::string(31787, 'b')).gui_copy()
        .hidden().logged(wrong_line(31787)).event_units(31839).files(1),
    surrogates("U+10000 across the limit", 31806, first_pair, 31838),
    surrogates("U+10FFFF across the limit", 31806, last_pair, 31838),
    surrogates("U+10000 just before the limit", 31805, first_pair, 31839),
    surrogates("U+10000 just after the limit", 31807, first_pair, 31839),
    surrogates("U+D7FF at the limit", 31806, "\xed\x9f\xbf", 31839),
    /* The window state is the show-window flag's alone, the standard
       handles' flag is no part of it; elevated, it goes to the shell. */
    row("a window state without its flag").shim(tool).line(started).directory("C:\\caller")
        .show(SW_SHOWMINNOACTIVE).flags(STARTF_USESTDHANDLES),
    row("a window state with its flag alone").shim(tool).line(started).directory("C:\\caller")
        .show(SW_SHOWMAXIMIZED).flags(STARTF_USESHOWWINDOW),
    row("elevation for a minimized caller").shim(tool).line(started).directory("C:\\caller")
        .start_error(740).show(SW_SHOWMINNOACTIVE)
        .shell("runas|C:\\app\\MyApp.exe||C:\\caller|320|7"),
    row("elevation, a window state without its flag").shim(tool).line(started)
        .directory("C:\\caller").start_error(740).show(SW_SHOWMINNOACTIVE)
        .flags(STARTF_USESTDHANDLES).shell("runas|C:\\app\\MyApp.exe||C:\\caller|320|1"),
    /* A token that cannot be opened or read counts as elevated: no prompt. */
    row("a token that cannot be opened").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Invalid argument\r\n" + at_tool + code(740)).start_error(740)
        .failing("OpenProcessToken"),
    row("a token that cannot be read").shim(tool).line(started).directory("C:\\caller")
        .message("Exec Failed: Invalid argument\r\n" + at_tool + code(740)).start_error(740)
        .failing("GetTokenInformation"),
    /* A GUI program is known by a whole subsystem field, and by nothing
       else: a console of its own stays for a command with no header, or
       one cut inside the field. */
    row("a command with no header on a console of its own").shim(tool).line(started)
        .directory("C:\\caller").console(1),
    row("a GUI header cut inside its subsystem").shim(tool).line(started)
        .directory("C:\\caller").subsystem(IMAGE_SUBSYSTEM_WINDOWS_GUI).header(0x40 + 93)
        .console(1),
    row("a GUI header that ends with its subsystem").shim(tool).line(started)
        .directory("C:\\caller").subsystem(IMAGE_SUBSYSTEM_WINDOWS_GUI).header(0x40 + 94)
        .console(1).freed(true),
    row("a batch command on a console of its own").shim("path = bin\\tool.bat")
        .line("\"C:\\app\\bin\\tool.bat\"").directory("C:\\caller").console(1).files(1),
    row("traced, a start that fails").shim(tool).variables({"LAUNCHER_TRACE=1"}).line(started)
        .directory("C:\\caller").start_error(123)
        .message(traced({"file " + file, "path = bin\\tool.exe", "found C:\\app\\bin\\tool.exe",
                         "handle width 4", "command line " + started,
                         "start C:\\app\\bin\\tool.exe: Invalid argument (Windows error 123)"}) +
                 "Exec Failed: Invalid argument\r\n" + at_tool + code(123)),
    row("traced, a command line too long").shim(tool + "args = " + std::string(32743, 'a'))
        .variables({"LAUNCHER_TRACE=1"}).arguments("y")
        .message(traced({"file " + file, "path = bin\\tool.exe", "args = " + std::string(32743, 'a'),
                         "candidate C:\\app\\bin\\tool.exe: Arg list too long"}) +
                 "Exec Failed: Arg list too long\r\n" + at_tool + "\r\n"),
    /* The longest value there is in UTF-8, three bytes a unit. */
    row("traced, a value of 32766 units in UTF-8").code_page(CP_UTF8).shim(tool + "env = A=%B%")
        .variables({"LAUNCHER_TRACE=1", "B=" + utf8_value}).line(started).directory("C:\\caller")
        .message(traced({"file " + file, "path = bin\\tool.exe", "set A=" + utf8_value,
                         "found C:\\app\\bin\\tool.exe", "handle width 4", "command line " + started}))
        .after("A=" + utf8_value),
    /* The trace: the file, each setting as resolved, the variables, PATH,
       the directory, each candidate and why it was passed over, the start. */
    row("traced")
        .shim("path = tool\nargs = -v\ndirectory = work\nenv = A = %HOME%\\a\nenv = HOME=\n"
              "lib = lib")
        .variables({"LAUNCHER_TRACE=1"}).line("\"C:\\tools\\tool.exe\" -v")
        .directory("C:\\app\\work")
        .message(traced({"file " + file, "path = tool", "args = -v", "directory = work",
                          "set A=C:\\h\\a", "remove HOME", "lib = lib",
                          "append to PATH C:\\app\\lib", "enter C:\\app\\work",
                          "candidate C:\\onpath\\tool.com: " + missing,
                          "candidate C:\\onpath\\tool.exe: the launcher itself",
                          "candidate C:\\tools\\tool.com: " + missing, "found C:\\tools\\tool.exe",
                          "handle width 4", "command line \"C:\\tools\\tool.exe\" -v"}))
        .after("A=C:\\h\\a|PATH=C:\\onpath;C:\\tools;C:\\app\\lib").files(4),
    /* Control characters from a variable, a PATH entry and an argument,
       and a backslash before "x", each shown as \xHH: no line is forged. */
    bare("traced with control characters").shim("path = tool.exe\nenv = A=%CTRL%\nlib = x")
        .arguments("b\x07\x1F~\x7F" + wide).line(at_tools + " b\x07\x1F~\x7F" + wide).files(4)
        .variables({"LAUNCHER_TRACE=1", "CTRL=\r\ntrace: found C:\\xevil.exe\x1B[2J",
                    "PATH=C:\\e\x1B;C:\\onpath;C:\\tools"})
        .message(traced({"file " + file, "path = tool.exe",
                          "set A=\\x0D\\x0Atrace: found C:\\x5Cxevil.exe\\x1B[2J", "lib = x",
                          "append to PATH C:\\app\\x5Cx", "candidate C:\\e\\x1B\\tool.exe: " + invalid,
                          "candidate C:\\onpath\\tool.exe: the launcher itself",
                          "found C:\\tools\\tool.exe", "handle width 4",
                          "command line " + at_tools + " b\\x07\\x1F~\\x7F" + wide})),
};

/* The identity as the chain writes it, in place of its name. */
std::string put_identities(std::string text)
{
    for (auto [name, path] : {std::pair{"{own}", "C:\\app\\MyApp.exe"},
                              std::pair{"{first}", "C:\\first\\tool.exe"},
                              std::pair{"{tools}", "C:\\tools\\tool.exe"},
                              std::pair{"{second}", "C:\\second\\tool.exe"}}) {
        HANDLE file = CreateFileA(path, GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
        BY_HANDLE_FILE_INFORMATION information;
        GetFileInformationByHandle(file, &information);
        CloseHandle(file);
        char identity[25];
        std::snprintf(identity, sizeof identity, "%08X%08X%08X", information.dwVolumeSerialNumber,
                      information.nFileIndexHigh, information.nFileIndexLow);
        for (size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, std::string(name).size(), identity);
    }
    return text;
}

size_t opened_files()
{
    return sim::calls_named("CreateFileA").size() + sim::calls_named("CreateFileW").size();
}

class shim_test : public launcher_test {
protected:
    void SetUp() override
    {
        launcher_test::SetUp();
        sim::world().module_path = "C:\\app\\MyApp.exe";
        for (const char *name : {"C:\\app\\MyApp.exe", "C:\\app\\bin\\tool.exe", "C:\\app\\bin\\tool.bat",
                                 "C:\\tools\\tool.exe",
                                 "C:\\caller\\tool.exe", "C:\\onpath\\tool.exe", "C:\\app\\bin\\other.exe",
                                 "C:\\first\\tool.exe"})
            sim::add_file(name);
        for (const char *name : {"C:\\onpath\\tool.exe", "C:\\app\\bin\\other.exe"})
            sim::world().links[sim::key_of(name)] = sim::key_of("C:\\app\\MyApp.exe");
        /* A launcher has a size of its own, which tells the commands apart. */
        for (const char *name : {"C:\\app\\MyApp.exe", "C:\\first\\tool.exe"})
            sim::add_file_bytes(name, subsystem_header(IMAGE_SUBSYSTEM_WINDOWS_CUI) +
                                          std::string(1000, '\0'));
        sim::add_file_bytes("C:\\second\\tool.exe", "MZ");
        sim::add_file("C:\\second\\tool.shim");
        sim::add_directory("C:\\app\\work");
        sim::world().current_directory = "C:\\caller";
        sim::set_variable("PATH", std::string("C:\\onpath;C:\\tools"));
        sim::set_variable("HOME", std::string("C:\\h"));
        sim::world().child_exit_code = 7;
    }
};

class named_start_test : public shim_test, public testing::WithParamInterface<named_start> {};

TEST_P(named_start_test, runs_what_its_file_says)
{
    const named_start &c = GetParam();
    if (!c.shim.empty())
        sim::add_file_bytes(file, c.shim);
    for (const std::string &variable : c.variables)
        sim::set_variable(variable.substr(0, variable.find('=', 1)),
                          sim::from_utf8(put_identities(variable.substr(variable.find('=', 1) + 1))));
    sim::world().acp = c.code_page;
    if (!c.refused.empty())
        sim::world().access_errors[sim::key_of(c.refused)] = ERROR_ACCESS_DENIED;
    if (c.failing)
        sim::fail_call(c.failing, c.failing_at, 0, c.error);
    if (c.failing_allocation)
        sim::fail_allocation(sim::world().allocations + c.failing_allocation);
    sim::world().start_errors[sim::key_of("C:\\app\\bin\\tool.exe")] = c.start_error;
    sim::world().elevated = c.elevated;
    sim::world().startup_flags = c.show ? c.flags : 0;
    sim::world().show_window = c.show;
    WORD passed = c.flags & STARTF_USESHOWWINDOW ? c.show : 0;
    /* A GUI program never has a console at start. */
    bool no_console = c.console == 0 || c.gui_copy;
    sim::world().console_processes = no_console ? 0 : c.console;
    if (no_console && !c.error_refused)
        sim::world().std_handles.clear();
    sim::world().allocate_console_present = c.allocate != 0;
    sim::world().console_asked_for = c.allocate == 2;
    sim::world().subsystem = c.gui_copy ? IMAGE_SUBSYSTEM_WINDOWS_GUI : IMAGE_SUBSYSTEM_WINDOWS_CUI;
    sim::world().station_visible = !c.hidden;
    sim::world().acp = c.code_page;
    for (int write = 1; c.error_refused && write <= 8; write++)
        sim::fail_write(write, ERROR_ACCESS_DENIED);
    if (c.subsystem)
        sim::add_file_bytes("C:\\app\\bin\\tool.exe",
                            subsystem_header(c.subsystem).substr(0, c.header ? c.header : 1000));
    sim::world().command_line = "MyApp" + (c.arguments.empty() ? "" : " " + c.arguments);
    bool failed = (c.message + c.box + c.logged).find("Failed: ") != std::string::npos || c.error_refused;
    size_t opened_before = opened_files();
    bool runtime_error = c.message.find("runtime error") != std::string::npos;
    EXPECT_EQ(run_whole_program().code, runtime_error ? 255u : failed ? 0xFFFFFFFFu : 7u);
    EXPECT_EQ(opened_files() - opened_before, c.files);
    EXPECT_EQ(sim::output_of(sim::world().std_handles[STD_ERROR_HANDLE]), c.error_refused ? "" : c.message);
    /* AllocConsoleWithOptions, where it exists, by the console build alone
       and only without a console: the console its caller asked for. */
    std::vector<sim::call> allocations = sim::calls_named("AllocConsoleWithOptions");
    ASSERT_EQ(allocations.size(), c.allocate && !c.console && !c.gui_copy ? 1u : 0u);
    if (!allocations.empty()) {
        EXPECT_EQ(allocations[0].args, (std::vector<uint64_t>{0, FALSE})) << "the default mode";
    }
    ASSERT_EQ(sim::world().boxes.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) {
        EXPECT_EQ(sim::world().boxes[0].text, c.box);
    }
    std::vector<sim::call> debugged = sim::calls_named("OutputDebugStringW");
    EXPECT_EQ(debugged.empty() ? "" : debugged[0].text, c.logged);
    ASSERT_EQ(sim::world().events.size(), c.logged.empty() ? 0u : 1u);
    if (!c.logged.empty()) {
        std::u16string units = sim::from_utf8(c.logged);
        std::string kept = sim::utf8_of(units.substr(0, c.event_units ? c.event_units : units.size()));
        EXPECT_EQ(sim::world().events[0].strings, (strings{"C:\\app\\MyApp.exe", kept}));
    }
    EXPECT_EQ(sim::world().starts.size(), c.line.empty() ? 0u : 1u);
    if (!c.line.empty() && sim::world().starts.size() == 1) {
        const sim::process_start &start = sim::world().starts[0];
        EXPECT_EQ(start.command_line, c.line);
        EXPECT_EQ(start.application, c.line.substr(1, c.line.find('"', 1) - 1));
        EXPECT_EQ(start.current_directory, c.directory);
        EXPECT_EQ(start.startup_flags, passed ? STARTF_USESHOWWINDOW : 0u);
        EXPECT_EQ(start.show_window, passed);
        /* Without a console a missing standard handle goes as a free slot. */
        EXPECT_EQ(start.creation_flags, 0u);
        ASSERT_TRUE(start.block);
        EXPECT_EQ(start.block->size() == 4, no_console) << "three slots free, or none";
    }
    std::string shell;
    for (const sim::call &call : sim::calls_named("ShellExecuteExW"))
        shell += call.text;
    EXPECT_EQ(shell, c.shell);
    /* The job the command is born into, before the first candidate. */
    EXPECT_EQ(sim::calls_named("AssignProcessToJobObject").size(),
              sim::world().starts.empty() ? 0u : 1u);
    for (const sim::call &call : sim::calls_named("CloseHandle"))
        EXPECT_NE(call.args[0], 0u);
    /* Its own file is opened for its identity alone, shared every way. */
    for (const sim::call &call : sim::calls_named("CreateFileW")) {
        if (call.text == "C:\\app\\MyApp.exe") {
            EXPECT_EQ(call.args, (std::vector<uint64_t>{
                                     FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     OPEN_EXISTING, 0}));
        }
    }
    strings calls = sim::call_names();
    auto freed = std::find(calls.begin(), calls.end(), "FreeConsole");
    EXPECT_EQ(freed != calls.end() && std::count(calls.begin(), freed, "CreateProcessA") &&
                  std::count(freed, calls.end(), "WaitForSingleObject"),
              c.freed);
    for (size_t at = 0, end; at < c.after.size(); at = end + 1) {
        end = std::min(c.after.find('|', at), c.after.size());
        size_t equals = c.after.find('=', at + 1);
        EXPECT_EQ(sim::get_variable(c.after.substr(at, equals - at)),
                  put_identities(c.after.substr(equals + 1, end - equals - 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(named_starts, named_start_test, testing::ValuesIn(named_starts),
                         name_each_row<named_start>);

} // namespace
