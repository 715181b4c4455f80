/*
 * The low-level write, on any slot, with any data and one disturbed platform
 * call.
 *
 * Input: the slot's flag byte; the handle number (0 to 2, -1, 31 or the slot
 * count); whether the slot holds a live handle; the disturbance (none, a
 * failing WriteFile, a short WriteFile, a failing SetFilePointer); which
 * WriteFile it hits; how many bytes a short one accepts (16 bits); the
 * platform error; then the data.
 *
 * The data lies in an allocation of its exact size.  What reaches WriteFile
 * must be the data in chunks of at most 1025 bytes with each line feed turned
 * into CR LF on a text slot, closed as the write rules say; the result (the
 * data bytes written whole, after a short or failed write too), the error
 * number and the OS error code must be those the rules give.
 */
#include "runtime/error_number.h"
#include "runtime/error_reporting.h"
#include "runtime/handle_table.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum { UNDISTURBED, FAILING_WRITE, SHORT_WRITE, FAILING_SEEK };

const int handle_numbers[] = {0, 1, 2, -1, 31, 32};
const DWORD platform_errors[] = {ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_INVALID_HANDLE,
                                 109 /* broken pipe */, 1 /* invalid function */, 0};

struct plan {
    BYTE flags;
    int number;
    bool live_handle;
    int disturbance;
    int occurrence; /* 1 for the first WriteFile */
    DWORD accepted;
    DWORD error;
    std::string data;
};

plan read_plan(input_reader &in)
{
    plan p;
    p.flags = in.take_byte();
    p.number = handle_numbers[in.take_byte() % 6];
    p.live_handle = in.take_byte() % 4 != 0;
    p.disturbance = in.take_byte() % 4;
    p.occurrence = 1 + in.take_byte() % 8;
    p.accepted = in.take_word();
    p.error = platform_errors[in.take_byte() % 6];
    p.data = in.take_rest();
    return p;
}

/* A chunk as written, and the data bytes it stands for. */
struct chunk {
    std::string source;
    std::string staged;
};

/* The chunks a text slot writes: bytes are staged with a carriage return
   before each line feed, and a chunk closes at 1024 bytes or more. */
std::vector<chunk> text_chunks(const std::string &data)
{
    std::vector<chunk> chunks;
    chunk next;
    for (char c : data) {
        if (c == '\n')
            next.staged += '\r';
        next.staged += c;
        next.source += c;
        if (next.staged.size() >= 1024) {
            chunks.push_back(next);
            next = chunk();
        }
    }
    if (!next.staged.empty())
        chunks.push_back(next);
    return chunks;
}

/* Data bytes of a chunk whose staged form lies wholly within the first
   `accepted` bytes: a line feed counts only with its carriage return. */
size_t whole_data_bytes(const chunk &c, DWORD accepted, bool text)
{
    if (!text)
        return accepted;
    size_t used = 0, whole = 0;
    for (char byte : c.source) {
        used += byte == '\n' ? 2 : 1;
        if (used > accepted)
            break;
        whole++;
    }
    return whole;
}

int mapped(DWORD code)
{
    switch (code) {
    case ERROR_DISK_FULL: return 28;
    case ERROR_INVALID_HANDLE: return 9;
    case 109: return 32;
    case ERROR_ACCESS_DENIED: return 13;
    default: return 22;
    }
}

struct outcome {
    std::vector<std::string> writes; /* what each WriteFile was offered */
    int result;
    int error;
    DWORD os_error;
    bool seeks;
};

/* The write rules, one WriteFile at a time. */
outcome expected_outcome(const plan &p)
{
    outcome o = {{}, 0, 0, 0, false};
    bool in_table = p.number >= 0 && p.number < 32;
    if (!in_table || !(p.flags & SLOT_OPEN)) {
        o.result = -1;
        o.error = 9;
        return o;
    }
    if (p.data.empty())
        return o;
    if (p.flags & SLOT_APPEND) {
        o.seeks = p.live_handle;
        if (!p.live_handle) {
            o.error = 9;
        } else if (p.disturbance == FAILING_SEEK && p.error != 0) {
            /* Without a reason the marker value is a real position. */
            o.error = mapped(p.error);
            o.os_error = p.error;
        }
    }
    bool text = (p.flags & SLOT_TEXT) != 0;
    std::vector<chunk> chunks = text ? text_chunks(p.data) : std::vector<chunk>{{p.data, p.data}};
    DWORD total = 0;
    size_t written = 0;
    bool failed = false;
    DWORD failure = 0;
    for (size_t i = 0; i < chunks.size(); i++) {
        const chunk &c = chunks[i];
        o.writes.push_back(c.staged);
        bool hit = (int)i + 1 == p.occurrence;
        if (hit && p.disturbance == FAILING_WRITE) {
            failed = true;
            failure = p.error;
            break;
        }
        if (!p.live_handle) {
            failed = true;
            failure = ERROR_INVALID_HANDLE;
            break;
        }
        DWORD accepted = hit && p.disturbance == SHORT_WRITE && p.accepted < c.staged.size()
                             ? p.accepted
                             : (DWORD)c.staged.size();
        total += accepted;
        written += whole_data_bytes(c, accepted, text);
        if (accepted < c.staged.size())
            break;
    }
    /* Whatever was accepted counts in data bytes written whole, never in
       less than nothing; a failure after it goes unreported. */
    if (total > 0) {
        o.result = (int)written;
    } else if (failed && failure == ERROR_ACCESS_DENIED) {
        o.result = -1;
        o.error = 9;
        o.os_error = ERROR_ACCESS_DENIED;
    } else if (failed) {
        o.result = -1;
        o.error = mapped(failure);
        o.os_error = failure;
    } else if ((p.flags & SLOT_DEVICE) && p.data[0] == 0x1A) {
        o.result = 0;
    } else {
        o.result = -1;
        o.error = 28;
        o.os_error = 0;
    }
    return o;
}

void disturb(const plan &p)
{
    if (p.disturbance == FAILING_WRITE)
        sim::fail_write(p.occurrence, p.error);
    else if (p.disturbance == SHORT_WRITE)
        sim::short_write(p.occurrence, p.accepted);
    else if (p.disturbance == FAILING_SEEK)
        sim::fail_call("SetFilePointer", 1, INVALID_SET_FILE_POINTER, p.error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input_reader in(data, size);
    plan p = read_plan(in);
    enter_fresh_world();
    create_heap();
    init_handle_table();
    HANDLE handle = sim::add_handle(FILE_TYPE_DISK);
    if (p.number >= 0 && p.number < 32) {
        handle_slot *slot = find_slot(p.number);
        slot->flags = p.flags;
        slot->handle = p.live_handle ? handle : INVALID_HANDLE_VALUE;
    }
    disturb(p);
    size_t calls_before = sim::world().calls.size();

    char *bytes = (char *)std::malloc(p.data.size() ? p.data.size() : 1);
    std::memcpy(bytes, p.data.data(), p.data.size());
    int result = write_handle(p.number, bytes, (unsigned)p.data.size());
    std::free(bytes);

    outcome o = expected_outcome(p);
    std::vector<std::string> writes;
    size_t seeks = 0;
    for (size_t i = calls_before; i < sim::world().calls.size(); i++) {
        const sim::call &c = sim::world().calls[i];
        if (c.name == "WriteFile") {
            REQUIRE(c.text.size() <= 1025 || !(p.flags & SLOT_TEXT));
            writes.push_back(c.text);
        }
        seeks += c.name == "SetFilePointer";
    }
    REQUIRE(writes == o.writes);
    REQUIRE(seeks == (o.seeks ? 1u : 0u));
    REQUIRE_EQUAL(result, o.result);
    REQUIRE_EQUAL(error_number, o.error);
    REQUIRE_EQUAL(os_error_code, o.os_error);
    if (p.live_handle && result == (int)p.data.size()) {
        std::string all;
        for (const std::string &w : writes)
            all += w;
        REQUIRE(sim::output_of(handle) == all);
    }
    return 0;
}
