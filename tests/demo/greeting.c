/* The demo's library: it lives in lib/, where only the extended PATH finds it. */
__declspec(dllexport) const char *get_greeting(void)
{
    return "hello from the library in lib/";
}
