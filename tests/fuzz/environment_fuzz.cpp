/*
 * The environment snapshot built from any environment block.
 *
 * Input: an options byte, a byte choosing which allocation fails, then the
 * environment's strings separated by zero bytes (empty ones are dropped, as
 * an empty string would end the block).  Options: bit 0 takes the wide block
 * away, bit 1 the single-byte one too, bit 2 makes the conversion of the wide
 * block fail, bit 3 fails one allocation.
 *
 * The platform's blocks are exact allocations, so a read past their end stops
 * the run.  The copy must be the block byte for byte; the snapshot must be
 * its strings less those that begin with "=", in order, each in a block of
 * its own of exactly its size; the copy and the platform's block must be
 * released.  A failed allocation must end in the environment's run-time
 * error, or in no block at all when the copy itself cannot be made.
 */
#include "runtime/environment.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstring>
#include <vector>

namespace {

enum { NO_WIDE = 0x01, NO_SINGLE_BYTE = 0x02, CONVERSION_FAILS = 0x04, FAIL_ALLOCATION = 0x08 };

std::vector<std::string> split_strings(const std::string &text)
{
    std::vector<std::string> strings;
    size_t at = 0;
    while (at <= text.size()) {
        size_t zero = text.find('\0', at);
        if (zero == std::string::npos)
            zero = text.size();
        if (zero > at)
            strings.push_back(text.substr(at, zero - at));
        at = zero + 1;
    }
    return strings;
}

std::string block_of(const std::vector<std::string> &strings)
{
    std::string block;
    for (const std::string &s : strings)
        block += s + '\0';
    return block + '\0';
}

size_t block_length(const char *block)
{
    const char *at = block;
    while (*at)
        at += std::strlen(at) + 1;
    return (size_t)(at - block) + 1;
}

void check_runtime_error(const sim::exit_signal &end, HANDLE error_handle)
{
    REQUIRE(end.code == 255 && !end.terminated);
    REQUIRE(sim::output_of(error_handle) ==
            "\r\nruntime error R6009\r\n- not enough space for environment\r\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input_reader in(data, size);
    uint8_t options = in.take_byte(), failing = in.take_byte();
    std::vector<std::string> strings = split_strings(in.take_rest());

    enter_fresh_world();
    HANDLE error_handle = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_CHAR);
    sim::world().environment.assign(strings.begin(), strings.end());
    sim::world().wide_environment = !(options & NO_WIDE);
    sim::world().single_byte_environment = !(options & NO_SINGLE_BYTE);
    if (options & CONVERSION_FAILS)
        sim::fail_call("WideCharToMultiByte", 2, 0, ERROR_INSUFFICIENT_BUFFER);
    int failing_allocation = options & FAIL_ALLOCATION ? 1 + failing : 0;
    if (failing_allocation)
        sim::fail_allocation(failing_allocation);
    create_heap();

    bool has_source = !(options & NO_WIDE) || !(options & NO_SINGLE_BYTE);
    bool wide = !(options & NO_WIDE);
    char *block = read_os_environment();
    REQUIRE(sim::world().environment_blocks.empty());
    REQUIRE(environment_source == (!has_source ? SOURCE_UNCHOSEN : wide ? SOURCE_WIDE : SOURCE_SINGLE_BYTE));
    bool copy_fails = failing_allocation == 1 || (wide && (options & CONVERSION_FAILS));
    if (!has_source || copy_fails) {
        REQUIRE(block == nullptr);
        REQUIRE(sim::live_allocations() == 0);
        return 0;
    }
    REQUIRE(block != nullptr);
    std::string expected_block = block_of(strings);
    if (strings.empty())
        expected_block = std::string(1, '\0');
    REQUIRE(block_length(block) == expected_block.size());
    REQUIRE(std::memcmp(block, expected_block.data(), expected_block.size()) == 0);
    REQUIRE(sim::world().live_blocks.at(block) == expected_block.size());

    std::vector<std::string> kept;
    for (const std::string &s : strings)
        if (s[0] != '=')
            kept.push_back(s);
    try {
        build_environment_snapshot(block);
    } catch (const sim::exit_signal &end) {
        REQUIRE(failing_allocation >= 2 && (size_t)failing_allocation <= kept.size() + 2);
        check_runtime_error(end, error_handle);
        return 0;
    }
    REQUIRE(!(failing_allocation >= 2 && (size_t)failing_allocation <= kept.size() + 2));
    REQUIRE(sim::world().live_blocks.count(block) == 0);
    REQUIRE(sim::world().live_blocks.at(environment_snapshot) == (kept.size() + 1) * sizeof(char *));
    for (size_t i = 0; i < kept.size(); i++) {
        REQUIRE(environment_snapshot[i] != nullptr);
        REQUIRE(environment_snapshot[i] == kept[i]);
        REQUIRE(sim::world().live_blocks.at(environment_snapshot[i]) == kept[i].size() + 1);
    }
    REQUIRE(environment_snapshot[kept.size()] == nullptr);
    REQUIRE(sim::live_allocations() == kept.size() + 1);
    REQUIRE(sim::world().bad_frees == 0);
    return 0;
}
