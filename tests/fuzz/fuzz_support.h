/* What every fuzz target shares: a fresh simulated world and launcher state
   per input, a check that aborts (so libFuzzer keeps the input), and a
   reader that takes the input apart. */
#ifndef TESTS_FUZZ_FUZZ_SUPPORT_H
#define TESTS_FUZZ_FUZZ_SUPPORT_H

#include "platform/sim/sim.h"

#include <cstddef>
#include <cstdint>
#include <string>

[[noreturn]] void fail_property(const char *condition, const char *file, int line);
/* Set by a target that can say more about the run a property failed in. */
extern void (*describe_run)(void);

#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fail_property(#condition, __FILE__, __LINE__);                                         \
    } while (0)

[[noreturn]] void fail_equality(const char *actual, long long actual_value, const char *expected,
                                long long expected_value, const char *file, int line);

/* For numbers, so that a failure shows both values. */
#define REQUIRE_EQUAL(actual, expected)                                                            \
    do {                                                                                           \
        long long actual_value = (long long)(actual), expected_value = (long long)(expected);      \
        if (actual_value != expected_value)                                                        \
            fail_equality(#actual, actual_value, #expected, expected_value, __FILE__, __LINE__);   \
    } while (0)

/* sim::reset() and every launcher global back to a new process's. */
void enter_fresh_world();

/* Takes an input apart from the front; past its end every take is empty. */
struct input_reader {
    const uint8_t *at;
    const uint8_t *end;

    input_reader(const uint8_t *data, size_t size) : at(data), end(data + size) {}
    bool empty() const { return at == end; }
    uint8_t take_byte();
    uint16_t take_word();
    /* The bytes up to the next `end`, which is skipped. */
    std::string take_until(uint8_t end);
    std::string take_line() { return take_until('\n'); }
    std::string take_rest();
};

/* The built-in lead bytes of code page 932, which the simulated platform
   then also uses to split paths. */
void use_code_page_932();

#endif
