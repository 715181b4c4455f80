/* The file beside a named launcher, taken apart once it is text in the
   ANSI code page. */
#include "tests/unit/fixture.h"

#include "shim/shim.h"

namespace {

struct shim_case {
    std::string text;
    int mistake;
    std::string wrong; /* "N: the line" named with the mistake; empty: the file */
    std::string path = {}, args = {}, directory = {}, libraries = {}; /* libraries joined by "|" */
};

std::string show(const shim_text &t)
{
    return t.line ? std::string(t.text, t.length) : "(none)";
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
        /* Only quotes around the whole value go; "=" in a value stays. */
        {"path = a\"b\"\nargs = \"x\" y=z\ndirectory = \"\"\"", SHIM_FINE, "", "a\"b\"", "\"x\" y=z",
         "\"", ""},
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
        ASSERT_EQ(parse_shim(c.text.data(), (unsigned)c.text.size(), &settings), c.mistake)
            << c.text;
        const shim_text &wrong = settings.mistake;
        EXPECT_EQ(wrong.line ? std::to_string(wrong.line) + ": " + show(wrong) : "", c.wrong)
            << c.text;
        if (c.mistake)
            continue;
        EXPECT_EQ(show(settings.values[SHIM_PATH]), c.path) << c.text;
        EXPECT_EQ(show(settings.values[SHIM_ARGS]), c.args) << c.text;
        EXPECT_EQ(show(settings.values[SHIM_DIRECTORY]), c.directory) << c.text;
        std::string libraries;
        for (unsigned i = 0; i < settings.library_count; i++)
            libraries += (i ? "|" : "") + show(settings.libraries[i]);
        EXPECT_EQ(libraries, c.libraries) << c.text;
    }
}

} // namespace
