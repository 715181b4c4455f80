#include "runtime/library.h"

any_function find_function(HMODULE library, const char *name)
{
    return library ? (any_function)GetProcAddress(library, name) : 0;
}
