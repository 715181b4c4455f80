/* The simulated world: reset, recording, faults and path resolution. */
#include "platform/sim/sim.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace sim {

static state *current_world = new state;

state &world()
{
    return *current_world;
}

void reset()
{
    for (auto &block : current_world->live_blocks)
        std::free(block.first);
    for (void *block : current_world->environment_blocks)
        std::free(block);
    delete current_world;
    current_world = new state;
    CPINFO western = {};
    western.MaxCharSize = 1;
    western.DefaultChar[0] = '?';
    current_world->code_pages[1252] = western;
    CPINFO utf8 = {};
    utf8.MaxCharSize = 4;
    utf8.DefaultChar[0] = '?';
    current_world->code_pages[CP_UTF8] = utf8;
    add_directory("C:\\");
}

void record(const std::string &name, std::vector<uint64_t> args, std::string text)
{
    world().calls.push_back(call{name, std::move(args), std::move(text)});
}

/* Built as the services are defined, before main, in whatever order. */
static std::set<std::string> &service_names()
{
    static std::set<std::string> names;
    return names;
}

service::service(const char *name) : name(name)
{
    service_names().insert(name);
}

const fault *take_fault(const service &which)
{
    int count = ++world().call_counts[which.name];
    for (const fault &f : world().faults)
        if (f.name == which.name && (f.occurrence == 0 || f.occurrence == count))
            return &f;
    return nullptr;
}

void fail_call(const std::string &name, int occurrence, uint64_t result, DWORD error)
{
    if (!service_names().count(name))
        throw std::invalid_argument("sim::fail_call: no simulated call " + name + " takes faults");
    world().faults.push_back(fault{name, occurrence, result, error});
}

void fail_write(int occurrence, DWORD error)
{
    world().write_faults.push_back(write_fault{occurrence, true, error, 0});
}

void short_write(int occurrence, DWORD accepted)
{
    world().write_faults.push_back(write_fault{occurrence, false, 0, accepted});
}

void fail_allocation(int occurrence)
{
    world().failing_allocations.insert(occurrence);
}

std::vector<call> calls_named(const std::string &name)
{
    std::vector<call> found;
    for (const call &c : world().calls)
        if (c.name == name)
            found.push_back(c);
    return found;
}

std::vector<std::string> call_names()
{
    std::vector<std::string> names;
    for (const call &c : world().calls)
        names.push_back(c.name);
    return names;
}

size_t live_allocations()
{
    return world().live_blocks.size();
}

bool is_sim_lead_byte(unsigned char c)
{
    auto page = world().code_pages.find(world().acp);
    if (page == world().code_pages.end() || page->second.MaxCharSize < 2)
        return false;
    const BYTE *ranges = page->second.LeadByte;
    for (int i = 0; i + 1 < MAX_LEADBYTES && ranges[i] && ranges[i + 1]; i += 2)
        if (c >= ranges[i] && c <= ranges[i + 1])
            return true;
    return false;
}

/* Splits at "\" and "/" that are characters of their own. */
static std::vector<std::string> split_components(const std::string &path)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < path.size(); i++) {
        unsigned char c = (unsigned char)path[i];
        if (is_sim_lead_byte(c) && i + 1 < path.size()) {
            parts.back() += path.substr(i, 2);
            i++;
        } else if (c == '\\' || c == '/') {
            parts.emplace_back();
        } else {
            parts.back() += (char)c;
        }
    }
    return parts;
}

static bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

/* The root of a full path: "C:" or "\\server\share". */
static std::string root_of(const std::string &full)
{
    if (full.size() >= 2 && is_separator(full[0]) && is_separator(full[1])) {
        std::vector<std::string> parts = split_components(full.substr(2));
        std::string root = "\\\\" + parts[0];
        if (parts.size() > 1)
            root += "\\" + parts[1];
        return root;
    }
    return full.substr(0, 2);
}

std::string full_path(const std::string &path)
{
    const std::string &cwd = world().current_directory;
    std::string root, rest;
    if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        root = root_of(path);
        rest = path.size() > root.size() ? path.substr(root.size()) : "";
    } else if (path.size() >= 2 && path[1] == ':' && std::isalpha((unsigned char)path[0])) {
        root = path.substr(0, 2);
        rest = path.substr(2);
        if (rest.empty() || !is_separator(rest[0])) {
            bool same_drive = std::toupper((unsigned char)cwd[0]) == std::toupper((unsigned char)path[0]);
            rest = (same_drive ? cwd.substr(2) : std::string("\\")) + "\\" + rest;
        }
    } else if (!path.empty() && is_separator(path[0])) {
        root = root_of(cwd);
        rest = path;
    } else {
        root = root_of(cwd);
        rest = cwd.substr(root.size()) + "\\" + path;
    }
    std::vector<std::string> kept;
    for (const std::string &part : split_components(rest)) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string full = root;
    for (const std::string &part : kept)
        full += "\\" + part;
    if (kept.empty())
        full += "\\";
    return full;
}

/* Upper case for ASCII letters only, never for a second byte. */
std::string key_of(const std::string &path)
{
    std::string full = full_path(path), key;
    for (size_t i = 0; i < full.size(); i++) {
        unsigned char c = (unsigned char)full[i];
        if (is_sim_lead_byte(c) && i + 1 < full.size()) {
            key += full.substr(i, 2);
            i++;
        } else {
            key += (char)std::toupper(c);
        }
    }
    return key;
}

std::string key_as_seen(const std::string &path)
{
    static const std::string system32 = "C:\\WINDOWS\\SYSTEM32", wow64 = "C:\\WINDOWS\\SYSWOW64";
    std::string key = key_of(path);
    if (world().wow64 && !world().redirection_off && key.compare(0, system32.size(), system32) == 0 &&
        (key.size() == system32.size() || key[system32.size()] == '\\'))
        key.replace(0, system32.size(), wow64);
    return key;
}

/* The directory a key lies in; a root ("C:\" or "\\server\share\") is
   its own. */
std::string parent_key(const std::string &key)
{
    std::string root = root_of(key) + "\\";
    if (key.size() <= root.size())
        return root;
    std::string parent = key.substr(0, key.find_last_of('\\'));
    return parent.size() < root.size() ? root : parent;
}

void add_directory(const std::string &path)
{
    std::string key = key_of(path);
    for (;;) {
        world().files[key] = FILE_ATTRIBUTE_DIRECTORY;
        std::string parent = parent_key(key);
        if (parent == key)
            return;
        key = parent;
    }
}

void add_file(const std::string &path, DWORD attributes)
{
    std::string key = key_of(path);
    add_directory(parent_key(key));
    world().files[key] = attributes;
}

void add_file_bytes(const std::string &path, const std::string &bytes)
{
    add_file(path);
    world().file_bytes[key_of(path)] = bytes;
}

} // namespace sim

extern "C" DWORD GetLastError(void)
{
    sim::record("GetLastError", {sim::world().last_error});
    return sim::world().last_error;
}

extern "C" void SetLastError(DWORD code)
{
    sim::world().last_error = code;
}
