/* The demo application: it needs greeting.dll, which is not beside it, and
   says where it found the DLL and where it runs. */
#include <stdio.h>
#include <windows.h>

__declspec(dllimport) const char *get_greeting(void);

int main(void)
{
    char library[MAX_PATH] = "", directory[MAX_PATH] = "";
    GetModuleFileNameA(GetModuleHandleA("greeting.dll"), library, sizeof library);
    GetCurrentDirectoryA(sizeof directory, directory);
    printf("app: %s\n", get_greeting());
    printf("app: loaded %s\n", library);
    printf("app: current directory %s\n", directory);
    return 0;
}
