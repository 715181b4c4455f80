/* The demo application: it needs greeting.dll, which is not beside it, and
   says where it found the DLL and where it runs.  Started from a shortcut
   through launcherw.exe it has no standard output anyone can read, so when
   DEMO_REPORT names a file it writes the same report there too. */
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

int main(void)
{
    char library[MAX_PATH] = "", directory[MAX_PATH] = "";
    GetModuleFileNameA(GetModuleHandleA("greeting.dll"), library, sizeof library);
    GetCurrentDirectoryA(sizeof directory, directory);
    print_report(stdout, library, directory);
    const char *report = getenv("DEMO_REPORT");
    if (report && *report)
        return write_report_file(report, library, directory);
    return 0;
}
