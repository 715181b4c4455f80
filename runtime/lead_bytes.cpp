#include "runtime/lead_bytes.h"
#include "runtime/bytes.h"
#include "runtime/heap.h"

unsigned char lead_bytes[256];
LCID comparison_locale;
DWORD conversion_flags;

/* Code pages and locales are numbered below 65536: two bytes each keep
   the tables small. */
struct lead_range {
    unsigned short code_page;
    unsigned char first, last;
};

/* The double-byte code pages whose lead bytes are known without asking. */
static const lead_range builtin_ranges[] = {
    {932, 0x81, 0x9F}, {932, 0xE0, 0xFC}, {936, 0x81, 0xFE},  {949, 0x81, 0xFE},
    {950, 0x81, 0xFE}, {1361, 0x81, 0xD3}, {1361, 0xD8, 0xDE}, {1361, 0xE0, 0xF9},
};

struct code_page_locale {
    unsigned short code_page;
    unsigned short locale;
};

static const code_page_locale comparison_locales[] = {
    {932, 1041}, {936, 2052}, {949, 1042}, {950, 1028},
};

/*
 * The platform's best-fit mapping turns a character the code page lacks
 * into a look-alike ("\u03a9" into "O", a full-width quote into a quote), so
 * a path would name another folder and a command line would split
 * differently.  Without it such a character becomes the code page's default
 * character, which no file name can hold.  UTF-8 and GB18030 hold every
 * character and refuse the flag.
 */
static const unsigned short code_pages_without_best_fit[] = {54936, CP_UTF8};

static DWORD choose_conversion_flags(UINT code_page)
{
    for (unsigned short without : code_pages_without_best_fit)
        if (without == code_page)
            return 0;
    return WC_NO_BEST_FIT_CHARS;
}

static void mark_range(unsigned first, unsigned last)
{
    for (unsigned c = first; c <= last; c++)
        lead_bytes[c] = 1;
}

static int use_builtin_ranges(UINT code_page)
{
    int found = 0;
    for (size_t i = 0; i < sizeof builtin_ranges / sizeof builtin_ranges[0]; i++) {
        if (builtin_ranges[i].code_page == code_page) {
            mark_range(builtin_ranges[i].first, builtin_ranges[i].last);
            found = 1;
        }
    }
    return found;
}

static void ask_platform(UINT code_page)
{
    CPINFO info;
    if (!GetCPInfo(code_page, &info) || info.MaxCharSize < 2)
        return;
    for (int i = 0; i + 1 < MAX_LEADBYTES; i += 2) {
        BYTE first = info.LeadByte[i], last = info.LeadByte[i + 1];
        if (first == 0 || last == 0)
            break;
        mark_range(first, last);
    }
}

void init_lead_bytes(void)
{
    UINT code_page = GetACP();
    fill_bytes(lead_bytes, 0, sizeof lead_bytes);
    if (!use_builtin_ranges(code_page))
        ask_platform(code_page);

    conversion_flags = choose_conversion_flags(code_page);
    comparison_locale = 0;
    for (size_t i = 0; i < sizeof comparison_locales / sizeof comparison_locales[0]; i++)
        if (comparison_locales[i].code_page == code_page)
            comparison_locale = comparison_locales[i].locale;
}

char *convert_to_ansi(const WCHAR *wide, int length, int *no_memory)
{
    *no_memory = 0;
    int size = WideCharToMultiByte(CP_ACP, conversion_flags, wide, length, 0, 0, 0, 0);
    if (size <= 0)
        return 0;
    char *text = (char *)allocate((size_t)size);
    if (!text) {
        *no_memory = 1;
        return 0;
    }
    if (!WideCharToMultiByte(CP_ACP, conversion_flags, wide, length, text, size, 0, 0)) {
        release(text);
        return 0;
    }
    return text;
}
