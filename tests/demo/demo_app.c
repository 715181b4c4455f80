/* The demo application: it needs greeting.dll, which is not beside it, and
   says where it found the DLL and where it runs.  Started from a shortcut
   through launcherw.exe it has no standard output anyone can read, so when
   DEMO_REPORT names a file it writes the same report there too.  The paths
   are reported in UTF-8 from their wide forms, so a folder named in any
   script shows as it is. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

__declspec(dllimport) const char *get_greeting(void);

static void print_report(FILE *out, const char *library, const char *directory)
{
    fprintf(out, "app: %s\n", get_greeting());
    fprintf(out, "app: loaded %s\n", library);
    fprintf(out, "app: current directory %s\n", directory);
}

/* A report that cannot be written must fail the run, or a test reading the
   file would mistake an old or missing report for this run's. */
static int write_report_file(const char *name, const char *library, const char *directory)
{
    FILE *file = fopen(name, "w");
    if (!file) {
        fprintf(stderr, "app: cannot create %s\n", name);
        return 1;
    }
    print_report(file, library, directory);
    if (fclose(file) != 0) {
        fprintf(stderr, "app: cannot write %s\n", name);
        return 1;
    }
    return 0;
}

static void to_utf8(const WCHAR *wide, char *text, int size)
{
    if (!WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, size, 0, 0))
        text[0] = 0;
}

int main(void)
{
    WCHAR wide_library[MAX_PATH] = L"", wide_directory[MAX_PATH] = L"";
    char library[4 * MAX_PATH], directory[4 * MAX_PATH];
    GetModuleFileNameW(GetModuleHandleA("greeting.dll"), wide_library, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, wide_directory);
    to_utf8(wide_library, library, sizeof library);
    to_utf8(wide_directory, directory, sizeof directory);
    print_report(stdout, library, directory);
    const char *report = getenv("DEMO_REPORT");
    if (report && *report)
        return write_report_file(report, library, directory);
    return 0;
}
