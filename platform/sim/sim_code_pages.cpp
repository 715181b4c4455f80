/* Code pages, conversions and comparison.  The simulated wide form of a byte
   is the byte's value, so bytes survive any round trip unchanged. */
#include "platform/sim/sim.h"

#include <cctype>
#include <cstring>

extern "C" UINT GetACP(void)
{
    sim::record("GetACP");
    return sim::world().acp;
}

extern "C" BOOL GetCPInfo(UINT code_page, LPCPINFO info)
{
    sim::record("GetCPInfo", {code_page});
    if (const sim::fault *f = sim::take_fault("GetCPInfo")) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    auto found = sim::world().code_pages.find(code_page);
    if (found == sim::world().code_pages.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *info = found->second;
    return TRUE;
}

template <typename unit> static int length_of(const unit *text, int length)
{
    if (length >= 0)
        return length;
    int n = 0;
    while (text[n])
        n++;
    return n;
}

template <typename unit> static int fold(unit c, DWORD flags)
{
    unsigned value = (unsigned)c;
    if ((flags & NORM_IGNORECASE) && value < 128)
        value = (unsigned)std::toupper((int)value);
    return (int)value;
}

template <typename unit>
static int compare(DWORD flags, const unit *a, int a_length, const unit *b, int b_length)
{
    a_length = length_of(a, a_length);
    b_length = length_of(b, b_length);
    for (int i = 0; i < a_length && i < b_length; i++) {
        int x = fold(a[i], flags), y = fold(b[i], flags);
        if (x != y)
            return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (a_length != b_length)
        return a_length < b_length ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    return CSTR_EQUAL;
}

extern "C" int CompareStringA(LCID locale, DWORD flags, LPCSTR a, int a_length, LPCSTR b, int b_length)
{
    std::string text = std::string(a, length_of(a, a_length)) + "|" + std::string(b, length_of(b, b_length));
    sim::record("CompareStringA", {locale, flags, (uint64_t)(int64_t)a_length, (uint64_t)(int64_t)b_length}, text);
    if (const sim::fault *f = sim::take_fault("CompareStringA")) {
        SetLastError(f->error);
        return (int)f->result;
    }
    if (sim::world().compare_a_missing) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    return compare(flags, (const unsigned char *)a, a_length, (const unsigned char *)b, b_length);
}

extern "C" int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int a_length, LPCWSTR b, int b_length)
{
    sim::record("CompareStringW", {locale, flags, (uint64_t)(int64_t)a_length, (uint64_t)(int64_t)b_length});
    if (const sim::fault *f = sim::take_fault("CompareStringW")) {
        SetLastError(f->error);
        return (int)f->result;
    }
    return compare(flags, a, a_length, b, b_length);
}

extern "C" int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                                   int wide_size)
{
    sim::record("MultiByteToWideChar", {code_page, flags, (uint64_t)(int64_t)length, (uint64_t)(int64_t)wide_size});
    if (const sim::fault *f = sim::take_fault("MultiByteToWideChar")) {
        SetLastError(f->error);
        return (int)f->result;
    }
    int n = length < 0 ? (int)std::strlen(text) + 1 : length;
    if (wide_size == 0)
        return n;
    if (wide_size < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; i < n; i++)
        wide[i] = (WCHAR)(unsigned char)text[i];
    return n;
}

extern "C" int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int length, LPSTR text,
                                   int text_size, LPCSTR default_char, LPBOOL used_default)
{
    sim::record("WideCharToMultiByte",
                {code_page, flags, (uint64_t)(int64_t)length, (uint64_t)(int64_t)text_size,
                 default_char != nullptr, used_default != nullptr});
    if (const sim::fault *f = sim::take_fault("WideCharToMultiByte")) {
        SetLastError(f->error);
        return (int)f->result;
    }
    int n = length;
    if (n < 0)
        for (n = 0; wide[n]; n++) {
        }
    if (length < 0)
        n++;
    if (text_size == 0)
        return n;
    if (text_size < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; i < n; i++)
        text[i] = wide[i] < 256 ? (char)wide[i] : '?';
    return n;
}
