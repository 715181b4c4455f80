#include "runtime/error_number.h"

int error_number;
DWORD os_error_code;

void set_error(int number, DWORD os_code)
{
    error_number = number;
    os_error_code = os_code;
}

int fail_with_last_error(void)
{
    map_os_error(GetLastError());
    return -1;
}
