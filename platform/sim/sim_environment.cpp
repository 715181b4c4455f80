/* The live environment: variables, and the blocks the start-up reads. */
#include "platform/sim/sim.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace sim {

static char16_t fold(char16_t c)
{
    return c >= 'a' && c <= 'z' ? (char16_t)(c - 'a' + 'A') : c;
}

static bool same_name(const std::u16string &entry, const std::u16string &name)
{
    /* A name may itself begin with "=", as the drive variables do. */
    size_t equals = entry.find(u'=', 1);
    if (equals != name.size())
        return false;
    for (size_t i = 0; i < name.size(); i++)
        if (fold(entry[i]) != fold(name[i]))
            return false;
    return true;
}

static std::vector<wide_text>::iterator find_variable(const std::u16string &name)
{
    auto &environment = world().environment;
    for (auto entry = environment.begin(); entry != environment.end(); ++entry)
        if (same_name(*entry, name))
            return entry;
    return environment.end();
}

static void set_wide_variable(const std::u16string &name, const std::optional<std::u16string> &value)
{
    auto entry = find_variable(name);
    if (!value) {
        if (entry != world().environment.end())
            world().environment.erase(entry);
        return;
    }
    std::u16string text = name + u"=" + *value;
    if (entry != world().environment.end())
        *entry = text;
    else
        world().environment.push_back(text);
}

void set_variable(const std::string &name, const std::optional<wide_text> &value)
{
    set_wide_variable(wide_text(name), value ? std::optional<std::u16string>(*value) : std::nullopt);
}

std::optional<std::u16string> get_wide_variable(const std::string &name)
{
    wide_text wide_name(name);
    auto entry = find_variable(wide_name);
    if (entry == world().environment.end())
        return std::nullopt;
    return entry->substr(wide_name.size() + 1);
}

std::optional<std::string> get_variable(const std::string &name)
{
    std::optional<std::u16string> value = get_wide_variable(name);
    if (!value)
        return std::nullopt;
    return to_ansi(*value, true);
}

} // namespace sim

static std::u16string wide_string(const WCHAR *text)
{
    return text ? std::u16string(text) : std::u16string();
}

/* Both forms of GetEnvironmentVariable: the value and its terminator when
   it fits, else the size it needs, counted in the form's own units.  The
   room after the terminator, which Windows leaves holding whatever it held,
   is filled with "F", a letter and a hexadecimal digit, to the buffer's
   end: a read past the terminator reads on as if the value did, and out of
   the buffer. */
template <typename unit>
static DWORD hand_out_value(const std::basic_string<unit> &value, unit *buffer, DWORD size)
{
    if (value.size() + 1 > size)
        return (DWORD)value.size() + 1;
    std::memcpy(buffer, value.c_str(), (value.size() + 1) * sizeof(unit));
    std::fill(buffer + value.size() + 1, buffer + size, (unit)'F');
    return (DWORD)value.size();
}

static const sim::service get_environment_variable_a("GetEnvironmentVariableA");
extern "C" DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    sim::record(get_environment_variable_a.name, {size}, name);
    if (const sim::fault *f = sim::take_fault(get_environment_variable_a)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    std::optional<std::u16string> value = sim::get_wide_variable(name);
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return hand_out_value(sim::to_ansi(*value, true), buffer, size);
}

static const sim::service get_environment_variable_w("GetEnvironmentVariableW");
extern "C" DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    sim::record(get_environment_variable_w.name, {size}, sim::to_ansi(wide_string(name), false));
    if (const sim::fault *f = sim::take_fault(get_environment_variable_w)) {
        SetLastError(f->error);
        return (DWORD)f->result;
    }
    auto entry = sim::find_variable(wide_string(name));
    if (entry == sim::world().environment.end()) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return hand_out_value(entry->substr(wide_string(name).size() + 1), buffer, size);
}

static const sim::service set_environment_variable_w("SetEnvironmentVariableW");
/* Recorded in UTF-8, so a test reads every character back. */
extern "C" BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value)
{
    std::u16string text = wide_string(name) + u"=" + wide_string(value);
    sim::record(set_environment_variable_w.name, {value != nullptr}, sim::utf8_of(text));
    if (const sim::fault *f = sim::take_fault(set_environment_variable_w)) {
        SetLastError(f->error);
        return (BOOL)f->result;
    }
    sim::set_wide_variable(wide_string(name),
                           value ? std::optional<std::u16string>(wide_string(value)) : std::nullopt);
    return TRUE;
}

/* The blocks are allocated exactly: an empty block is one zero, a full one
   its strings and one more zero, so a read past the end is caught. */
template <typename unit> static unit *make_block()
{
    std::vector<unit> units;
    for (const sim::wide_text &entry : sim::world().environment) {
        if (sizeof(unit) == 1)
            for (char c : sim::to_ansi(entry, true))
                units.push_back((unit)c);
        else
            units.insert(units.end(), entry.begin(), entry.end());
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

static const sim::service get_environment_strings_w("GetEnvironmentStringsW");
extern "C" LPWCH GetEnvironmentStringsW(void)
{
    sim::record(get_environment_strings_w.name);
    if (const sim::fault *f = sim::take_fault(get_environment_strings_w)) {
        SetLastError(f->error);
        return (LPWCH)(uintptr_t)f->result;
    }
    if (!sim::world().wide_environment)
        return nullptr;
    return make_block<WCHAR>();
}

static const sim::service get_environment_strings("GetEnvironmentStrings");
extern "C" LPCH GetEnvironmentStrings(void)
{
    sim::record(get_environment_strings.name);
    if (const sim::fault *f = sim::take_fault(get_environment_strings)) {
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
