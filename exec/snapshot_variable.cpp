#include "exec/exec.h"
#include "platform/kernel32.h"
#include "runtime/bytes.h"
#include "runtime/environment.h"
#include "runtime/heap.h"
#include "runtime/lead_bytes.h"

/* A wide copy of the first `length` bytes, for a platform whose byte
   comparison is not implemented. */
static WCHAR *widen(const char *text, int length, int *wide_length)
{
    *wide_length = MultiByteToWideChar(CP_ACP, 0, text, length, 0, 0);
    if (*wide_length <= 0)
        return 0;
    WCHAR *wide = (WCHAR *)allocate((size_t)*wide_length * sizeof(WCHAR));
    if (wide && !MultiByteToWideChar(CP_ACP, 0, text, length, wide, *wide_length)) {
        release(wide);
        wide = 0;
    }
    return wide;
}

static int names_equal_wide(const char *a, const char *b, int length)
{
    int a_length, b_length;
    WCHAR *wide_a = widen(a, length, &a_length);
    WCHAR *wide_b = widen(b, length, &b_length);
    int equal = wide_a && wide_b &&
                CompareStringW(comparison_locale, NORM_IGNORECASE, wide_a, a_length, wide_b,
                               b_length) == CSTR_EQUAL;
    release(wide_a);
    release(wide_b);
    return equal;
}

/* The platform decides what "the same name ignoring case" means in the
   process's code page; a failed comparison is a mismatch. */
static int names_equal(const char *a, const char *b, int length)
{
    int verdict = CompareStringA(comparison_locale, NORM_IGNORECASE, a, length, b, length);
    if (verdict == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        return names_equal_wide(a, b, length);
    return verdict == CSTR_EQUAL;
}

static int has_name(const char *entry, const char *name, size_t length)
{
    for (size_t i = 0; i < length; i++)
        if (!entry[i])
            return 0;
    return entry[length] == '=' && names_equal(entry, name, (int)length);
}

const char *get_snapshot_variable(const char *name)
{
    size_t length = text_length(name);
    for (char **entry = environment_snapshot; entry && *entry; entry++)
        if (has_name(*entry, name, length))
            return *entry + length + 1;
    return 0;
}
