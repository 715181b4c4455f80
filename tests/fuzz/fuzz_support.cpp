#include "tests/fuzz/fuzz_support.h"
#include "tests/support/launcher_state.h"

#include <cstdio>
#include <cstdlib>

void (*describe_run)(void);

void fail_property(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, condition);
    if (describe_run)
        describe_run();
    std::abort();
}

void fail_equality(const char *actual, long long actual_value, const char *expected,
                   long long expected_value, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property violated: %s is %lld, %s is %lld\n", file, line, actual,
                 actual_value, expected, expected_value);
    if (describe_run)
        describe_run();
    std::abort();
}

void enter_fresh_world()
{
    sim::reset();
    reset_launcher_state();
}

uint8_t input_reader::take_byte()
{
    return at < end ? *at++ : 0;
}

uint16_t input_reader::take_word()
{
    uint16_t low = take_byte();
    return (uint16_t)(low | take_byte() << 8);
}

std::string input_reader::take_until(uint8_t stop)
{
    const uint8_t *start = at;
    while (at < end && *at != stop)
        at++;
    std::string line(start, at);
    if (at < end)
        at++;
    return line;
}

std::string input_reader::take_rest()
{
    std::string rest(at, end);
    at = end;
    return rest;
}

void use_code_page_932()
{
    CPINFO info = {};
    info.MaxCharSize = 2;
    info.DefaultChar[0] = '?';
    const BYTE ranges[] = {0x81, 0x9F, 0xE0, 0xFC};
    for (size_t i = 0; i < sizeof ranges; i++)
        info.LeadByte[i] = ranges[i];
    sim::world().code_pages[932] = info;
    sim::world().acp = 932;
}
