/* The file beside a named launcher, taken apart. */
#include "tests/unit/fixture.h"

#include "shim/shim.h"

namespace {

struct shim_case {
    std::u16string text;
    int mistake;
    unsigned line; /* of the mistake */
    std::u16string path = {}, args = {}, directory = {}, libraries = {}; /* libraries joined by "|" */
};

std::u16string show(const shim_text &t)
{
    return t.line ? std::u16string(t.text, t.length) : u"(none)";
}

TEST_F(launcher_test, a_shim_file_gives_its_settings_or_its_first_mistake)
{
    const shim_case cases[] = {
        {u"path = bin\\app.exe\nlib = lib\nlib = ..\\x\ndirectory = data\nargs = -v \"a b\"", SHIM_FINE,
         0, u"bin\\app.exe", u"-v \"a b\"", u"data", u"lib|..\\x"},
        /* A byte-order mark, CR LF, comments, blank lines, keys in any
           case, blanks and tabs around. */
        {u"\uFEFF# made by hand\r\n\r\n \tPATH\t=\t\"C:\\Program Files\\x.exe\" \r\n  # lib = no\r\n",
         SHIM_FINE, 0, u"C:\\Program Files\\x.exe", u"(none)", u"(none)", u""},
        /* Only quotes around the whole value go; "=" in a value stays. */
        {u"path = a\"b\"\nargs = \"x\" y\ndirectory = \"\"\"", SHIM_FINE, 0, u"a\"b\"", u"\"x\" y",
         u"\"", u""},
        {u"path = x\nargs = --a=b\nargs\t=", SHIM_REPEATED_KEY, 3},
        {u"path = x\nargs =", SHIM_FINE, 0, u"x", u"", u"(none)", u""},
        {u"path = x\npth = y", SHIM_UNKNOWN_KEY, 2},
        {u"path = x\n\n\nlib", SHIM_NO_EQUALS, 4},
        {u"path = x\r\npath = y", SHIM_REPEATED_KEY, 2},
        {u"lib = a\nlib = \"\"\npath = x", SHIM_NO_VALUE, 2},
        {u"path =\t", SHIM_NO_VALUE, 1},
        {u"lib = lib\n# path = x\n", SHIM_NO_PATH, 0},
        {u"", SHIM_NO_PATH, 0},
        {u"\uFEFF", SHIM_NO_PATH, 0},
        {u"path = x\nargs = a", SHIM_FINE, 0, u"x", u"a", u"(none)", u""},
        {std::u16string(u"path = x\nargs = a\0b", 19), SHIM_NOT_TEXT, 2},
        /* A key beyond ASCII is no key, however it folds. */
        {u"p\u0100th = x", SHIM_UNKNOWN_KEY, 1},
    };
    for (const shim_case &c : cases) {
        SetUp();
        start_runtime();
        shim_settings settings;
        std::string name = sim::utf8_of(c.text);
        ASSERT_EQ(parse_shim((const WCHAR *)c.text.data(), (unsigned)c.text.size(), &settings),
                  c.mistake) << name;
        EXPECT_EQ(settings.mistake_line, c.line) << name;
        if (c.mistake)
            continue;
        EXPECT_EQ(show(settings.path), c.path) << name;
        EXPECT_EQ(show(settings.args), c.args) << name;
        EXPECT_EQ(show(settings.directory), c.directory) << name;
        std::u16string libraries;
        for (unsigned i = 0; i < settings.library_count; i++)
            libraries += (i ? u"|" : u"") + show(settings.libraries[i]);
        EXPECT_EQ(libraries, c.libraries) << name;
    }
}

} // namespace
