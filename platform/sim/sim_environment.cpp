/* The live environment: variables, and the blocks the start-up reads. */
#include "platform/sim/sim.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace sim {

static std::vector<std::string>::iterator find_variable(const std::string &name)
{
    auto &environment = world().environment;
    for (auto entry = environment.begin(); entry != environment.end(); ++entry) {
        /* A name may itself begin with "=", as the drive variables do. */
        size_t equals = entry->find('=', 1);
        if (equals == name.size() && strncasecmp(entry->c_str(), name.c_str(), name.size()) == 0)
            return entry;
    }
    return environment.end();
}

void set_variable(const std::string &name, const std::optional<std::string> &value)
{
    auto entry = find_variable(name);
    if (!value) {
        if (entry != world().environment.end())
            world().environment.erase(entry);
        return;
    }
    if (entry != world().environment.end())
        *entry = name + "=" + *value;
    else
        world().environment.push_back(name + "=" + *value);
}

std::optional<std::string> get_variable(const std::string &name)
{
    auto entry = find_variable(name);
    if (entry == world().environment.end())
        return std::nullopt;
    return entry->substr(name.size() + 1);
}

} // namespace sim

extern "C" DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    sim::record("GetEnvironmentVariableA", {size}, name);
    if (const sim::fault *f = sim::take_fault("GetEnvironmentVariableA")) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    std::optional<std::string> value = sim::get_variable(name);
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    if (value->size() + 1 > size)
        return (DWORD)value->size() + 1;
    std::memcpy(buffer, value->c_str(), value->size() + 1);
    return (DWORD)value->size();
}

extern "C" BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value)
{
    sim::record("SetEnvironmentVariableA", {value != nullptr},
                std::string(name) + "=" + (value ? value : ""));
    if (const sim::fault *f = sim::take_fault("SetEnvironmentVariableA")) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    sim::set_variable(name, value ? std::optional<std::string>(value) : std::nullopt);
    return TRUE;
}

/* The blocks are allocated exactly: an empty block is one zero, a full one
   its strings and one more zero, so a read past the end is caught. */
template <typename unit> static unit *make_block()
{
    std::vector<unit> units;
    for (const std::string &entry : sim::world().environment) {
        for (unsigned char c : entry)
            units.push_back((unit)c);
        units.push_back(0);
    }
    units.push_back(0);
    if (units.size() == 2)
        units.pop_back();
    unit *block = (unit *)std::malloc(units.size() * sizeof(unit));
    std::memcpy(block, units.data(), units.size() * sizeof(unit));
    sim::world().environment_blocks.insert(block);
    return block;
}

extern "C" LPWCH GetEnvironmentStringsW(void)
{
    sim::record("GetEnvironmentStringsW");
    if (const sim::fault *f = sim::take_fault("GetEnvironmentStringsW")) {
        SetLastError(f->error);
        return (LPWCH)(uintptr_t)f->result;
    }
    if (!sim::world().wide_environment)
        return nullptr;
    return make_block<WCHAR>();
}

extern "C" LPCH GetEnvironmentStrings(void)
{
    sim::record("GetEnvironmentStrings");
    if (const sim::fault *f = sim::take_fault("GetEnvironmentStrings")) {
        SetLastError(f->error);
        return (LPCH)(uintptr_t)f->result;
    }
    if (!sim::world().single_byte_environment)
        return nullptr;
    return make_block<char>();
}

static BOOL free_block(const char *name, void *block)
{
    sim::record(name, {(uint64_t)(uintptr_t)block});
    if (sim::world().environment_blocks.erase(block) == 0) {
        sim::world().bad_frees++;
        return FALSE;
    }
    std::free(block);
    return TRUE;
}

extern "C" BOOL FreeEnvironmentStringsW(LPWCH block)
{
    return free_block("FreeEnvironmentStringsW", block);
}

extern "C" BOOL FreeEnvironmentStringsA(LPCH block)
{
    return free_block("FreeEnvironmentStringsA", block);
}
