/*
 * Host microbenchmarks of the launcher's two loops whose work grows with
 * their input: splitting the command line, and walking PATH for a command.
 * After Google Benchmark's own table, a summary gives the figures that
 * matter: time per KiB of command line at each size, and the search's probe
 * count checked against what the design makes it do.
 */
#include "tests/support/launcher_state.h"
#include "exec/exec.h"
#include "platform/sim/sim.h"
#include "runtime/arguments.h"
#include "runtime/error_number.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

/* ---- parse_command_line ---- */

/* A command line of exactly `size` bytes that exercises every rule: quoted
   arguments with blanks, doubled quotes, backslashes before quotes and
   elsewhere, runs of blanks. */
static std::string make_command_line(size_t size)
{
    static const char *const pieces[] = {
        "\"C:\\Program Files\\tools\\build.exe\" ", "-define:name=value ", "\"a b\"c ",
        "path\\to\\file.txt ", "a\\\\\"b c\" ", "\"say \"\"hi\"\"\" ", "x\\\"y ", "\t  ",
        "--long-option=\"some quoted text\" ",
    };
    std::string line = "launcher.exe work tool ";
    for (size_t i = 0; line.size() < size; i++)
        line += pieces[i % (sizeof pieces / sizeof pieces[0])];
    line.resize(size);
    return line;
}

/* Both passes, as start-up runs them: one to count, one to fill a block of
   the counted size. */
static void parse_command_line_both_passes(benchmark::State &state)
{
    reset_launcher_state(); /* single-byte code page: no lead bytes */
    std::string line = make_command_line((size_t)state.range(0) * 1024);
    split_result counts = parse_command_line(line.c_str(), nullptr, nullptr);
    std::vector<char *> entries(counts.entry_count);
    std::vector<char> strings(counts.byte_count);
    for (auto _ : state) {
        split_result counted = parse_command_line(line.c_str(), nullptr, nullptr);
        split_result filled = parse_command_line(line.c_str(), entries.data(), strings.data());
        benchmark::DoNotOptimize(counted);
        benchmark::DoNotOptimize(filled);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)line.size());
    state.counters["arguments"] = (double)counts.entry_count - 1;
}
/* The fastest repetition is the one the shared machine disturbed least. */
static double fastest(const std::vector<double> &times)
{
    return *std::min_element(times.begin(), times.end());
}

BENCHMARK(parse_command_line_both_passes)
    ->Arg(1)->Arg(8)->Arg(32)
    ->ComputeStatistics("min", fastest)
    ->Unit(benchmark::kMicrosecond);

/* ---- exec_search_path ---- */

enum { PATH_LENGTH = 8191, PATH_ENTRIES = 1000 };

/* 1000 entries "C:\dNNN", the first ones lengthened by one character each
   until the value is exactly 8191 characters, the most the launcher takes. */
static std::string make_long_path()
{
    std::vector<std::string> entries;
    size_t length = PATH_ENTRIES - 1; /* the separators */
    for (int i = 0; i < PATH_ENTRIES; i++) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "C:\\d%03d", i);
        entries.push_back(entry);
        length += entries.back().size();
    }
    for (size_t i = 0; length < PATH_LENGTH; i++, length++)
        entries[i % entries.size()] += 'x';
    std::string path;
    for (const std::string &entry : entries)
        path += (path.empty() ? "" : ";") + entry;
    return path;
}

static size_t last_probe_count, last_path_length, last_entry_count;
static int last_error_number;

static size_t count_entries(const std::string &path)
{
    size_t entries = 1;
    for (char c : path)
        entries += c == ';';
    return entries;
}

/* A fresh world with the long PATH, started from an empty working
   directory; returns the PATH. */
static std::string prepare_search_world()
{
    sim::reset();
    reset_launcher_state();
    std::string path = make_long_path();
    sim::set_variable("PATH", path);
    sim::add_directory("C:\\work");
    sim::world().current_directory = "C:\\work";
    start_runtime();
    return path;
}

/* A bare name without extension that exists nowhere: the current directory
   and then every entry are probed with all four extensions. */
static void exec_search_path_not_found(benchmark::State &state)
{
    std::string path = prepare_search_world();
    static char name[] = "tool";
    char *arguments[] = {nullptr};
    command_search search = make_search({name, arguments});

    for (auto _ : state) {
        state.PauseTiming();
        sim::world().calls.clear(); /* the record of the last run only */
        state.ResumeTiming();
        benchmark::DoNotOptimize(exec_search_path(name, &search));
    }
    last_probe_count = sim::calls_named("GetFileAttributesA").size();
    last_path_length = path.size();
    last_entry_count = count_entries(path);
    last_error_number = error_number;
    state.counters["probes"] = (double)last_probe_count;
    state.counters["time_per_probe"] = benchmark::Counter(
        (double)last_probe_count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    sim::reset();
}
BENCHMARK(exec_search_path_not_found)->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond);

/* The same probes straight into the simulated KERNEL32, without the
   launcher: what the simulation alone costs of the search above. */
static void simulated_probes_alone(benchmark::State &state)
{
    std::string path = prepare_search_world();
    static char name[] = "tool";
    char *arguments[] = {nullptr};
    command_search search = make_search({name, arguments});
    exec_search_path(name, &search);
    std::vector<std::string> candidates;
    for (const sim::call &c : sim::calls_named("GetFileAttributesA"))
        candidates.push_back(c.text);

    for (auto _ : state) {
        state.PauseTiming();
        sim::world().calls.clear();
        state.ResumeTiming();
        for (const std::string &candidate : candidates)
            if (GetFileAttributesA(candidate.c_str()) == INVALID_FILE_ATTRIBUTES)
                benchmark::DoNotOptimize(GetLastError());
    }
    state.counters["probes"] = (double)candidates.size();
    sim::reset();
}
BENCHMARK(simulated_probes_alone)->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond);

/* ---- summary ---- */

struct result {
    std::string function;
    long argument;
    double seconds; /* processor time per iteration */
};

/* Keeps the figures behind Google Benchmark's table: the fastest
   repetition when runs are repeated, else the single run; processor time,
   since both loops are pure computation on one thread and wall time on the
   shared machine also counts the time other work held the processor. */
class summarising_reporter : public benchmark::ConsoleReporter {
public:
    std::vector<result> results;

    /* Plain text: the output is read in logs and quoted in documents. */
    summarising_reporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            bool repeated = run.repetitions > 1;
            if (repeated ? run.aggregate_name != "min" : run.run_type != Run::RT_Iteration)
                continue;
            double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            long argument = run.run_name.args.empty() ? 0 : std::stol(run.run_name.args);
            results.push_back({run.run_name.function_name, argument, seconds});
        }
    }
};

static void print_parse_summary(const std::vector<result> &results)
{
    std::printf("\nFigures below: processor time of the fastest of the repetitions, the one the"
                " shared machine\ndisturbed least.\n");
    std::printf("\nparse_command_line, both passes (count, then fill), single-byte code page:\n");
    std::printf("  %8s %14s %14s %18s\n", "size", "time per call", "time per KiB", "per KiB vs 1 KiB");
    double first = 0, lowest = 0, highest = 0;
    for (const result &r : results) {
        if (r.function != "parse_command_line_both_passes")
            continue;
        double per_kib = r.seconds / (double)r.argument;
        if (first == 0)
            first = lowest = highest = per_kib;
        lowest = std::min(lowest, per_kib);
        highest = std::max(highest, per_kib);
        std::printf("  %5ld KiB %11.2f us %11.3f us %17.2fx\n", r.argument, r.seconds * 1e6,
                    per_kib * 1e6, per_kib / first);
    }
    if (first > 0)
        std::printf("  time per KiB varies by %.0f%% from 1 KiB to 32 KiB (constant time per KiB"
                    " = linear growth)\n", (highest / lowest - 1) * 100);
}

static double seconds_of(const std::vector<result> &results, const std::string &function)
{
    for (const result &r : results)
        if (r.function == function)
            return r.seconds;
    return 0;
}

static void print_search_summary(const std::vector<result> &results)
{
    double alone = seconds_of(results, "simulated_probes_alone");
    for (const result &r : results) {
        if (r.function != "exec_search_path_not_found")
            continue;
        size_t expected = 4 * last_entry_count + 4;
        std::printf("\nexec_search_path, PATH of %zu characters in %zu entries, a bare name found"
                    " nowhere:\n", last_path_length, last_entry_count);
        std::printf("  time per search %.3f ms, %.1f ns per probe\n", r.seconds * 1e3,
                    r.seconds * 1e9 / (double)last_probe_count);
        std::printf("  GetFileAttributesA probes per search: %zu; the design needs %zu (4 per entry"
                    " x %zu + 4 in the directory): %s\n", last_probe_count, expected,
                    last_entry_count, last_probe_count == expected ? "ok" : "MISMATCH");
        if (alone > 0)
            std::printf("  the same probes straight into the simulation: %.3f ms; the rest (the launcher's logic\n  and the simulated heap calls it makes):"
                        " about %.3f ms (%.0f ns per probe)\n", alone * 1e3,
                        (r.seconds - alone) * 1e3, (r.seconds - alone) * 1e9 / (double)last_probe_count);
        std::printf("  error number left: %d (%s)\n", last_error_number,
                    last_error_number == NO_SUCH_FILE ? "no such file, as the design says" : "MISMATCH");
        std::printf("  note: these times run against the simulated KERNEL32, which resolves every"
                    " path\n  and records every call with its text; they measure the launcher's"
                    " logic plus\n  the simulation, not what a search costs on Windows.\n");
    }
}

int main(int count, char **words)
{
    /* Repeat and keep the median unless told otherwise: the machine is shared. */
    std::vector<char *> arguments(words, words + count);
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    bool told = false;
    for (int i = 1; i < count; i++)
        told |= std::string(words[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!told) {
        arguments.push_back(repetitions);
        arguments.push_back(aggregates);
    }
    int argument_count = (int)arguments.size();
    benchmark::Initialize(&argument_count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(argument_count, arguments.data()))
        return 2;
    summarising_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    print_parse_summary(reporter.results);
    print_search_summary(reporter.results);
    return 0;
}
