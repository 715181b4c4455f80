/* The file beside a named launcher, taken apart once it is text in the
   ANSI code page, and resolved in the folder C:\app\ with HOME set. */
#include "tests/unit/fixture.h"

#include "runtime/error_number.h"
#include "runtime/heap.h"
#include "shim/shim.h"

#include <cstring>

namespace {

struct shim_case {
    std::string text;
    int mistake;
    std::string wrong; /* "N: the line" named with the mistake; empty: the file */
    std::string path = {}, args = {}, directory = {}, libraries = {}; /* libraries joined by "|" */
    std::string variables = {}; /* each env line's variable afterwards, joined by "|" */
};

std::string show(const shim_text &t)
{
    return t.line ? std::string(t.text, t.length) : "(none)";
}

std::string show_once(const shim_settings &settings, int key)
{
    return settings.once[key] ? show(settings.once[key]->value) : "(none)";
}

TEST_F(launcher_test, a_shim_file_gives_its_settings_or_its_first_mistake)
{
    const shim_case cases[] = {
        {"path = bin\\app.exe\nlib = lib\nlib = ..\\x\ndirectory = data\nargs = -v \"a b\"", SHIM_FINE,
         "", "bin\\app.exe", "-v \"a b\"", "data", "lib|..\\x"},
        /* CR LF, comments, blank lines, keys in any case, blanks and tabs
           around; a double-byte character whose second byte is "=" or "\". */
        {"# made by hand\r\n\r\n \tPATH\t=\t\"C:\\Program Files\\x.exe\" \r\n  # lib = no\r\n"
         "Lib=\x95\x5c\x83\x3d",
         SHIM_FINE, "", "C:\\Program Files\\x.exe", "(none)", "(none)", "\x95\x5c\x83\x3d"},
        /* Only quotes around the whole value go, and args keeps every one. */
        {"path = a\"b\"\nargs = \"x\" y=z\ndirectory = \"\"\"", SHIM_QUOTE, "1: path = a\"b\""},
        {"path = \"C:\\a b\\x.exe\"\nargs = \"a b\" -v \"c d\"\nlib = \"=\"", SHIM_FINE, "",
         "C:\\a b\\x.exe", "\"a b\" -v \"c d\"", "(none)", "="},
        {"path = x\ndirectory = \"\"\"", SHIM_QUOTE, "2: directory = \"\"\""},
        {"path = x\nenv = A = \"x", SHIM_QUOTE, "2: env = A = \"x"},
        /* Judged with the references replaced: a place holds no quote a
           variable brings, an env value passes it on. */
        {"path = %Q%\\tool.exe", SHIM_REFERENCE_QUOTE, "1: path = %Q%\\tool.exe"},
        {"path = x\ndirectory = %Q%", SHIM_REFERENCE_QUOTE, "2: directory = %Q%"},
        {"path = x\nlib = \"%Q%\"", SHIM_REFERENCE_QUOTE, "2: lib = \"%Q%\""},
        {"path = x\nenv = B=%Q%;C:\\b", SHIM_FINE, "", "x", "(none)", "(none)", "",
         "B=\"C:\\x y\";C:\\b"},
        /* CR alone ends a line, and CR LF is one end. */
        {"path = x\rlib = a\r\rdirectory = d\r\n pth = y\r", SHIM_UNKNOWN_KEY, "5: pth = y"},
        {"path = x\rlib = a\r", SHIM_FINE, "", "x", "(none)", "(none)", "a"},
        /* A lib is one entry of PATH, whatever brought its ";"; a path and a
           directory may hold one. */
        {"path = x\nlib = C:\\a;", SHIM_SEPARATOR, "2: lib = C:\\a;"},
        {"path = x\nenv = S=C:\\a;C:\\b\nlib = %S%", SHIM_SEPARATOR, "3: lib = %S%"},
        {"path = x;y.exe\ndirectory = d;e", SHIM_FINE, "", "x;y.exe", "(none)", "d;e", ""},
        /* Nothing is taken from a current directory. */
        {"path = C:x.exe", SHIM_CURRENT_DRIVE, "1: path = C:x.exe"},
        {"path = x\nlib = \\\\s\\l\nlib = /l", SHIM_CURRENT_DRIVE, "3: lib = /l"},
        {"path = x\nenv = D=C:\ndirectory = %D%x", SHIM_CURRENT_DRIVE, "3: directory = %D%x"},
        /* Variables: set, removed, and seen by the lines after them only;
           an undefined name stays, "%%" is "%", args knows "%~dp0" alone. */
        {"path = %HOME%\\%A%.exe\nenv = A = \"a b\"\nenv = HOME=\nenv=B=%A%%%%HOME%\n"
         "args = %A% %~dp0x %%\ndirectory = %~DP0%A%\nlib = %U%",
         SHIM_FINE, "", "C:\\h\\%A%.exe", "%A% C:\\app\\x %%", "C:\\app\\a b", "%U%",
         "A=a b|HOME=(none)|B=a b%%HOME%"},
        {"path = x\nenv = A", SHIM_NOT_VARIABLE, "2: env = A"},
        {"path = x\nenv = = b", SHIM_NOT_VARIABLE, "2: env = = b"},
        /* A variable holds 32766 characters and its terminator. */
        {"path = x\nenv = B=%LONG%", SHIM_FINE, "", "x", "(none)", "(none)", "",
         "B=" + std::string(32766, 'l')},
        {"path = x\nenv = B=%LONG%.", SHIM_TOO_LONG, "2: env = B=%LONG%."},
        /* A value holds three variables' worth of bytes, and no reference
           past them, however short. */
        {"path = x\ndirectory = %LONG%%LONG%%LONG%ccc", SHIM_FINE, "", "x", "(none)",
         std::string(98298, 'l') + "ccc", ""},
        {"path = x\ndirectory = %LONG%%LONG%%LONG%ccc%HOME%", SHIM_TOO_LONG,
         "2: directory = %LONG%%LONG%%LONG%ccc%HOME%"},
        {"path = x\nargs =", SHIM_FINE, "", "x", "", "(none)", ""},
        {"path = x\nargs = --a=b\nargs\t=", SHIM_REPEATED_KEY, "3: args\t="},
        {"path = x\npth = y", SHIM_UNKNOWN_KEY, "2: pth = y"},
        {"path = x\n\n\n  lib \r\n", SHIM_NO_EQUALS, "4: lib"},
        {"path = x\r\nPath = y", SHIM_REPEATED_KEY, "2: Path = y"},
        {"lib = a\nlib = \"\"\npath = x", SHIM_NO_VALUE, "2: lib = \"\""},
        {"path =\t", SHIM_NO_VALUE, "1: path ="},
        {"lib = lib\n# path = x\n", SHIM_NO_PATH, ""},
        {"", SHIM_NO_PATH, ""},
        {std::string("path = x\nargs = a\0b", 19), SHIM_NOT_TEXT, ""},
        /* A key beyond ASCII is no key, however it folds. */
        {"p\xc4\x80th = x", SHIM_UNKNOWN_KEY, "1: p\xc4\x80th = x"},
    };
    for (const shim_case &c : cases) {
        static shim_settings settings;
        sim::reset();
        create_heap();
        sim::set_variable("HOME", sim::wide_text("C:\\h"));
        sim::set_variable("Q", sim::wide_text("\"C:\\x y\""));
        sim::set_variable("LONG", sim::wide_text(std::string(32766, 'l')));
        exact_texts exact = make_exact_texts({c.text});
        int mistake = parse_shim(exact.vector[0], (unsigned)c.text.size(), &settings);
        ASSERT_EQ(mistake ? mistake : resolve_shim(&settings, "C:\\app\\"), c.mistake) << c.text;
        const shim_text &wrong = settings.mistake;
        EXPECT_EQ(wrong.line ? std::to_string(wrong.line) + ": " + show(wrong) : "", c.wrong)
            << c.text;
        if (c.mistake)
            continue;
        /* Each value resolved into a block of its exact size, so a read past
           its terminator is one past the block. */
        for (unsigned i = 0; i < settings.count; i++) {
            const shim_text &value = settings.settings[i].value;
            auto block = sim::world().live_blocks.find((void *)value.text);
            ASSERT_NE(block, sim::world().live_blocks.end()) << c.text;
            EXPECT_EQ(block->second, value.length + 1u) << c.text;
        }
        EXPECT_EQ(show_once(settings, SHIM_PATH), c.path) << c.text;
        EXPECT_EQ(show_once(settings, SHIM_ARGS), c.args) << c.text;
        EXPECT_EQ(show_once(settings, SHIM_DIRECTORY), c.directory) << c.text;
        std::string libraries, variables;
        for (unsigned i = 0; i < settings.count; i++) {
            const shim_setting &s = settings.settings[i];
            std::string name(s.name.text, s.name.length);
            if (s.key == SHIM_LIB)
                libraries += (libraries.empty() ? "" : "|") + show(s.value);
            if (s.key == SHIM_ENV)
                variables += (variables.empty() ? "" : "|") + name + "=" +
                             sim::get_variable(name).value_or("(none)");
        }
        EXPECT_EQ(libraries, c.libraries) << c.text;
        EXPECT_EQ(variables, c.variables) << c.text;
    }
}

/* Without the folder or the file's name there is no start; a conversion
   that fails leaves no block behind. */
TEST_F(launcher_test, a_named_start_needs_its_folder_and_its_file_name)
{
    for (int failing : {0, 2, 4}) {
        SetUp();
        create_heap();
        sim::world().module_path = "C:\\app\\MyApp.exe";
        if (failing)
            sim::fail_call("WideCharToMultiByte", failing, 0, ERROR_INSUFFICIENT_BUFFER);
        char *folder = nullptr, *name = nullptr;
        EXPECT_EQ(name_shim_file(&folder, &name) != nullptr, !failing) << failing;
        EXPECT_EQ(error_number, failing ? NOT_ENOUGH_SPACE : 0) << failing;
        EXPECT_EQ(sim::live_allocations(), failing ? 1u : 2u) << "the other name's block";
        /* Each in a block of its size: the folder's text and terminator; the
           file name is converted with its terminator, and the block keeps
           the byte for a terminator of its own as well. */
        if (!failing) {
            EXPECT_EQ(sim::world().live_blocks.at(folder), std::strlen(folder) + 1);
            EXPECT_EQ(sim::world().live_blocks.at(name), std::strlen(name) + 2);
        }
    }
}

struct name_case {
    const char *module; /* the exe's own path */
    const char *folder;
    const char *file;
};

/* The file's name is the exe's with its last extension, in the last
   component only, replaced by ".shim"; the folder is all up to the last
   separator. */
TEST_F(launcher_test, a_named_launchers_file_is_named_after_its_exe)
{
    const name_case cases[] = {
        {"C:\\app\\MyApp.exe", "C:\\app\\", "C:\\app\\MyApp.shim"},
        {"C:\\app\\MyApp", "C:\\app\\", "C:\\app\\MyApp.shim"},
        {"C:\\my.app\\MyApp", "C:\\my.app\\", "C:\\my.app\\MyApp.shim"},
        {"C:\\app/My.App.exe", "C:\\app/", "C:\\app/My.App.shim"},
        /* A name that ends with its dot (\\?\ paths keep one). */
        {"\\\\?\\C:\\app\\MyApp.", "\\\\?\\C:\\app\\", "\\\\?\\C:\\app\\MyApp.shim"},
    };
    for (const name_case &c : cases) {
        SetUp();
        create_heap();
        sim::world().module_path = c.module;
        char *folder = nullptr, *name = nullptr;
        ASSERT_NE(name_shim_file(&folder, &name), nullptr) << c.module;
        EXPECT_STREQ(folder, c.folder) << c.module;
        EXPECT_STREQ(name, c.file) << c.module;
    }
}

struct beside_case {
    const char *name;
    const char *program;
    bool no_memory; /* for the name of the file beside it */
    bool has_file;
};

/* A named launcher's file beside a program, by the program's name with
   ".shim" for its extension; the name's block goes at once, and without
   memory for it the program counts as having none. */
TEST_F(launcher_test, a_program_has_a_shim_file_beside_it_or_none)
{
    const beside_case cases[] = {
        {"beside it", "C:\\app\\bin\\tool.exe", false, true},
        {"none beside it", "C:\\app\\bin\\other.exe", false, false},
        {"no memory for its name", "C:\\app\\bin\\tool.exe", true, false},
    };
    for (const beside_case &c : cases) {
        SetUp();
        create_heap();
        sim::add_file("C:\\app\\bin\\tool.shim");
        if (c.no_memory)
            sim::fail_allocation(sim::world().allocations + 1);
        EXPECT_EQ(has_shim_file(c.program) != 0, c.has_file) << c.name;
        EXPECT_EQ(sim::live_allocations(), 0u) << c.name;
        std::vector<sim::call> looked = sim::calls_named("GetFileAttributesA");
        ASSERT_EQ(looked.size(), c.no_memory ? 0u : 1u) << c.name;
        if (!c.no_memory) {
            std::string name = c.program;
            EXPECT_EQ(looked[0].text, name.substr(0, name.size() - 4) + ".shim") << c.name;
        }
    }
}

} // namespace
