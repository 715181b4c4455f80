/* Code pages, conversions and comparison.  Outside UTF-8 the simulated
   wide form of a byte is the byte's value, so bytes survive any round trip
   unchanged; see sim.h. */
#include "platform/sim/sim.h"

#include <cctype>
#include <cstring>

namespace sim {

wide_text::wide_text(const std::string &bytes)
{
    for (unsigned char c : bytes)
        push_back((char16_t)c);
}

/* The look-alikes the platform's best-fit mapping picks for characters a
   single-byte code page lacks; a few, enough to show the harm. */
struct best_fit {
    char16_t unit;
    char byte;
};
static const best_fit best_fits[] = {
    {u'\u03a9', 'O'},  /* Greek capital omega */
    {u'\uff02', '"'},  /* full-width quotation mark */
    {u'\uff3c', '\\'}, /* full-width reverse solidus */
    {u'\u2215', '/'},  /* division slash */
};

static bool is_utf8_code_page()
{
    return world().acp == CP_UTF8;
}

static char default_char()
{
    auto page = world().code_pages.find(world().acp);
    return page == world().code_pages.end() ? '?' : (char)page->second.DefaultChar[0];
}

static void append_utf8(std::string *bytes, char32_t c)
{
    if (c < 0x80) {
        *bytes += (char)c;
    } else if (c < 0x800) {
        *bytes += (char)(0xC0 | c >> 6);
        *bytes += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *bytes += (char)(0xE0 | c >> 12);
        *bytes += (char)(0x80 | (c >> 6 & 0x3F));
        *bytes += (char)(0x80 | (c & 0x3F));
    } else {
        *bytes += (char)(0xF0 | c >> 18);
        *bytes += (char)(0x80 | (c >> 12 & 0x3F));
        *bytes += (char)(0x80 | (c >> 6 & 0x3F));
        *bytes += (char)(0x80 | (c & 0x3F));
    }
}

std::string utf8_of(const std::u16string &units)
{
    std::string bytes;
    for (size_t i = 0; i < units.size(); i++) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        append_utf8(&bytes, c);
    }
    return bytes;
}

std::u16string from_utf8(const std::string &bytes)
{
    std::u16string units;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = (unsigned char)bytes[i];
        int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        char32_t value = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool whole = extra >= 0 && i + extra < bytes.size();
        for (int k = 1; whole && k <= extra; k++) {
            unsigned char next = (unsigned char)bytes[i + k];
            whole = (next & 0xC0) == 0x80;
            value = value << 6 | (next & 0x3F);
        }
        if (!whole) {
            units += u'\ufffd';
            i++;
            continue;
        }
        i += extra + 1;
        if (value >= 0x10000) {
            units += (char16_t)(0xD800 + ((value - 0x10000) >> 10));
            units += (char16_t)(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            units += (char16_t)value;
        }
    }
    return units;
}

std::string to_ansi(const std::u16string &units, bool use_best_fit)
{
    if (is_utf8_code_page())
        return utf8_of(units);
    std::string bytes;
    for (char16_t unit : units) {
        char byte = default_char();
        if (unit < 0x100)
            byte = (char)unit;
        for (const best_fit &fit : best_fits)
            if (use_best_fit && fit.unit == unit)
                byte = fit.byte;
        bytes += byte;
    }
    return bytes;
}

std::u16string from_ansi(const std::string &bytes)
{
    if (is_utf8_code_page())
        return from_utf8(bytes);
    return wide_text(bytes);
}

} // namespace sim

extern "C" UINT GetACP(void)
{
    sim::record("GetACP");
    return sim::world().acp;
}

static const sim::service get_cp_info("GetCPInfo");
extern "C" BOOL GetCPInfo(UINT code_page, LPCPINFO info)
{
    sim::record(get_cp_info.name, {code_page});
    if (const sim::fault *f = sim::take_fault(get_cp_info)) {
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

static const sim::service compare_string_a("CompareStringA");
extern "C" int CompareStringA(LCID locale, DWORD flags, LPCSTR a, int a_length, LPCSTR b, int b_length)
{
    std::string text = std::string(a, length_of(a, a_length)) + "|" + std::string(b, length_of(b, b_length));
    sim::record(compare_string_a.name, {locale, flags, (uint64_t)(int64_t)a_length, (uint64_t)(int64_t)b_length}, text);
    if (const sim::fault *f = sim::take_fault(compare_string_a)) {
        SetLastError(f->error);
        return (int)f->result;
    }
    if (sim::world().compare_a_missing) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    return compare(flags, (const unsigned char *)a, a_length, (const unsigned char *)b, b_length);
}

static const sim::service compare_string_w("CompareStringW");
extern "C" int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int a_length, LPCWSTR b, int b_length)
{
    sim::record(compare_string_w.name, {locale, flags, (uint64_t)(int64_t)a_length, (uint64_t)(int64_t)b_length});
    if (const sim::fault *f = sim::take_fault(compare_string_w)) {
        SetLastError(f->error);
        return (int)f->result;
    }
    return compare(flags, a, a_length, b, b_length);
}

/* The simulation converts in the process's own code page whatever number
   a call names; only the refusal of flags looks at the number. */
static bool converts_as_utf8(UINT code_page)
{
    return code_page == CP_UTF8 || (code_page == CP_ACP && sim::world().acp == CP_UTF8);
}

/* As the platform: a length of 0, or below the -1 that asks for a
   terminated text, is refused. */
static bool refuses_length(int length)
{
    if (length != 0 && length >= -1)
        return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
}

template <typename unit> static std::basic_string<unit> take_input(const unit *text, int length)
{
    if (length >= 0)
        return std::basic_string<unit>(text, (size_t)length);
    std::basic_string<unit> input(text);
    input.push_back(0); /* the terminator is converted too */
    return input;
}

template <typename unit>
static int hand_out(const std::basic_string<unit> &output, unit *target, int size)
{
    if (size == 0)
        return (int)output.size();
    if (size < (int)output.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(target, output.data(), output.size() * sizeof(unit));
    return (int)output.size();
}

static const sim::service multi_byte_to_wide_char("MultiByteToWideChar");
extern "C" int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                                   int wide_size)
{
    sim::record(multi_byte_to_wide_char.name, {code_page, flags, (uint64_t)(int64_t)length, (uint64_t)(int64_t)wide_size});
    if (const sim::fault *f = sim::take_fault(multi_byte_to_wide_char)) {
        SetLastError(f->error);
        return (int)f->result;
    }
    if (refuses_length(length))
        return 0;
    std::string input = take_input(text, length);
    bool utf8 = converts_as_utf8(code_page);
    std::u16string units = utf8 ? sim::from_utf8(input) : sim::from_ansi(input);
    /* Text that is not UTF-8 does not come back from its units. */
    if (utf8 && (flags & MB_ERR_INVALID_CHARS) && sim::utf8_of(units) != input) {
        SetLastError(1113); /* no mapping for the character */
        return 0;
    }
    return hand_out(units, wide, wide_size);
}

static const sim::service wide_char_to_multi_byte("WideCharToMultiByte");
extern "C" int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int length, LPSTR text,
                                   int text_size, LPCSTR default_char, LPBOOL used_default)
{
    sim::record(wide_char_to_multi_byte.name,
                {code_page, flags, (uint64_t)(int64_t)length, (uint64_t)(int64_t)text_size,
                 default_char != nullptr, used_default != nullptr});
    if (const sim::fault *f = sim::take_fault(wide_char_to_multi_byte)) {
        SetLastError(f->error);
        return (int)f->result;
    }
    /* UTF-8 holds every character and refuses to be asked for no best fit. */
    if (converts_as_utf8(code_page) && (flags & WC_NO_BEST_FIT_CHARS)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (refuses_length(length))
        return 0;
    std::u16string input = take_input(wide, length);
    std::string output = sim::to_ansi(input, !(flags & WC_NO_BEST_FIT_CHARS));
    return hand_out(output, text, text_size);
}
