#include "tests/unit/fixture.h"

#include "runtime/environment.h"
#include "runtime/start.h"

#include <cctype>
#include <cstring>

void launcher_test::SetUp()
{
    if (runs++) {
        EXPECT_EQ(sim::handle_faults(), std::vector<std::string>{}) << "the run before";
    }
    sim::reset();
    reset_launcher_state();
    standard_error = sim::set_std_handle(STD_ERROR_HANDLE, FILE_TYPE_CHAR);
}

void launcher_test::TearDown()
{
    EXPECT_EQ(sim::handle_faults(), std::vector<std::string>{});
}

exact_texts make_exact_texts(const std::vector<std::string> &texts)
{
    exact_texts exact;
    for (const std::string &text : texts) {
        exact.owned.emplace_back(new char[text.size() + 1]);
        std::memcpy(exact.owned.back().get(), text.c_str(), text.size() + 1);
        exact.vector.push_back(exact.owned.back().get());
    }
    exact.vector.push_back(nullptr);
    return exact;
}

launcher_outcome run_main_routine(const std::vector<std::string> &arguments)
{
    std::vector<std::string> all = {"launcher"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    exact_texts exact = make_exact_texts(all);
    try {
        int status = run_main((int)all.size(), exact.vector.data(), environment_snapshot);
        return {false, status, 0};
    } catch (const sim::exit_signal &end) {
        return {true, 0, end.code};
    }
}

std::string subsystem_header(char subsystem)
{
    std::string bytes = "MZ" + std::string(0x3A, '\0') + "\x40" + std::string(0x63, '\0');
    bytes.replace(0x40, 2, "PE");
    bytes[0x40 + 92] = subsystem;
    return bytes;
}

std::vector<std::string> written_chunks()
{
    std::vector<std::string> chunks;
    for (const sim::call &c : sim::calls_named("WriteFile"))
        chunks.push_back(c.text);
    return chunks;
}

std::vector<std::string> probed_paths()
{
    std::vector<std::string> paths;
    for (const sim::call &c : sim::calls_named("GetFileAttributesA"))
        paths.push_back(c.text);
    return paths;
}

std::string traced(const std::vector<std::string> &lines)
{
    std::string all;
    for (const std::string &line : lines)
        all += "trace: " + line + "\r\n";
    return all;
}

std::string name_of_case(const std::string &row_name)
{
    std::string name = row_name;
    for (char &c : name)
        if (!std::isalnum((unsigned char)c))
            c = '_';
    return name;
}
