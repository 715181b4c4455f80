/*
 * The command-line splitting, on any text under any lead-byte set.
 *
 * Input: one byte choosing the lead-byte set (none, code page 932's, or a
 * bitmap of the bytes 0x80 to 0xFF in 16 further bytes), then the text, up to
 * its first zero byte.
 *
 * The text is placed at the very end of an allocation of its exact size, and
 * the entries and strings get allocations of exactly the sizes the counting
 * pass asked for, so any read past the terminator or write past either place
 * stops the run.  Both passes must agree, the entries must lie one after
 * another in the strings, and the arguments must be those of the reference
 * splitter below.
 */
#include "runtime/arguments.h"
#include "runtime/lead_bytes.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void choose_lead_bytes(input_reader &in)
{
    std::memset(lead_bytes, 0, sizeof lead_bytes);
    uint8_t choice = in.take_byte() % 3;
    if (choice == 1) {
        for (int c = 0x81; c <= 0x9F; c++)
            lead_bytes[c] = 1;
        for (int c = 0xE0; c <= 0xFC; c++)
            lead_bytes[c] = 1;
    } else if (choice == 2) {
        /* Code pages put their lead bytes above the ASCII range, so a lead
           byte is never itself a blank, quote or backslash. */
        for (int i = 0; i < 16; i++) {
            uint8_t bits = in.take_byte();
            for (int b = 0; b < 8; b++)
                lead_bytes[0x80 + i * 8 + b] = (bits >> b) & 1;
        }
    }
}

/* The text as characters: a lead byte with the byte after it is one
   character that is never a quote, backslash or blank; a lead byte with
   nothing after it stands alone. */
struct character {
    std::string bytes;
    bool is(char c) const { return bytes.size() == 1 && bytes[0] == c; }
    bool blank() const { return is(' ') || is('\t'); }
};

std::vector<character> characters_of(const std::string &text)
{
    std::vector<character> out;
    for (size_t i = 0; i < text.size(); i++) {
        if (lead_bytes[(uint8_t)text[i]] && i + 1 < text.size()) {
            out.push_back({text.substr(i, 2)});
            i++;
        } else {
            out.push_back({text.substr(i, 1)});
        }
    }
    return out;
}

std::vector<std::string> split_reference(const std::string &text)
{
    std::vector<character> cs = characters_of(text);
    size_t n = cs.size(), i = 0;
    std::vector<std::string> arguments(1);

    /* The program name: quoted up to the next quote, else up to a blank. */
    if (n > 0 && cs[0].is('"')) {
        for (i = 1; i < n && !cs[i].is('"'); i++)
            arguments[0] += cs[i].bytes;
        if (i < n)
            i++;
    } else {
        for (; i < n && !cs[i].blank(); i++)
            arguments[0] += cs[i].bytes;
        if (i < n)
            i++;
    }

    bool quoted = false;
    for (;;) {
        while (i < n && cs[i].blank())
            i++;
        if (i == n)
            break;
        std::string argument;
        for (;;) {
            size_t backslashes = 0;
            for (; i < n && cs[i].is('\\'); i++)
                backslashes++;
            bool at_quote = i < n && cs[i].is('"');
            bool append_it = true;
            if (at_quote && backslashes % 2 == 0) {
                argument.append(backslashes / 2, '\\');
                if (quoted && i + 1 < n && cs[i + 1].is('"'))
                    i++; /* a doubled quote inside quotes: one literal quote */
                else
                    append_it = false;
                quoted = !quoted;
            } else if (at_quote) {
                argument.append((backslashes - 1) / 2, '\\');
            } else {
                argument.append(backslashes, '\\');
            }
            if (i == n || (!quoted && cs[i].blank()))
                break;
            if (append_it)
                argument += cs[i].bytes;
            i++;
        }
        arguments.push_back(argument);
    }
    return arguments;
}

/* The text with its terminator as the last byte of its own allocation. */
char *place_at_end(const std::string &text)
{
    char *copy = (char *)std::malloc(text.size() + 1);
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    enter_fresh_world();
    input_reader in(data, size);
    choose_lead_bytes(in);
    std::string text = in.take_rest();
    text = text.substr(0, text.find('\0'));

    char *placed = place_at_end(text);
    split_result counted = parse_command_line(placed, nullptr, nullptr);
    REQUIRE(counted.entry_count >= 2);
    REQUIRE(counted.byte_count >= 1);
    char **entries = (char **)std::malloc(counted.entry_count * sizeof(char *));
    char *strings = (char *)std::malloc(counted.byte_count);
    split_result filled = parse_command_line(placed, entries, strings);
    REQUIRE(filled.entry_count == counted.entry_count);
    REQUIRE(filled.byte_count == counted.byte_count);

    std::vector<std::string> expected = split_reference(text);
    REQUIRE(counted.entry_count == expected.size() + 1);
    REQUIRE(entries[counted.entry_count - 1] == nullptr);
    const char *next = strings;
    for (size_t i = 0; i + 1 < counted.entry_count; i++) {
        REQUIRE(entries[i] == next);
        REQUIRE(expected[i].size() < (size_t)(strings + counted.byte_count - next));
        REQUIRE(std::memcmp(entries[i], expected[i].c_str(), expected[i].size() + 1) == 0);
        next += expected[i].size() + 1;
    }
    REQUIRE(next == strings + counted.byte_count);

    std::free(entries);
    std::free(strings);
    std::free(placed);
    return 0;
}
