/*
 * Times whole commands in alternation: round after round, every command runs
 * once, the order rotating from round to round, so that a slow spell of the
 * shared machine falls on all of them alike rather than on whichever ran
 * during it.  Each run is a fork and exec of the command itself, no shell, with
 * standard input, output and error on /dev/null; its time is the wall-clock
 * time from fork to the end of that process.
 *
 * A starter may end before the process it started.  This runner adopts such
 * orphans (it is a child subreaper) and, untimed, waits for every one of them
 * to end before the next run, so no run shares the machine with the tail of
 * the one before.  So each run has two measures:
 *   own   until the command's own process ended, which is when its caller
 *         gets control back; processor time of that process alone
 *   tree  until the last process the run started had ended; processor time
 *         of all of them
 * Under Wine a started process is never the starter's own child, so it
 * counts in "tree" only, for a starter that waits for it as for one that
 * does not.
 *
 * Usage: run_alternately ROUNDS WARMUP PAIRS LABEL [-C DIRECTORY] PROGRAM [ARGUMENT ...] ';' LABEL ...
 * PAIRS names the comparisons to print, as "side/side" joined by commas; a
 * side is a label, for the own measure, or "label:tree".  A command with
 * -C runs in DIRECTORY, so commands of different builds, each beside its
 * own programs, are timed in one alternation without a shell or env in
 * front of them.
 */
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

/* One timed run; a measure that could not be taken stays unset, so the
   rounds of every command stay aligned for pairing. */
struct sample {
    bool has_own = false, has_tree = false;
    double own = 0, own_cpu = 0;   /* ms */
    double tree = 0, tree_cpu = 0; /* ms */
};

struct command {
    std::string label;
    std::string directory; /* empty: the runner's own */
    std::vector<char *> argv;
    std::vector<sample> samples; /* one per timed round */
    int failures = 0;
};

/* One measure of one command: wall and processor time per round. */
struct measure {
    std::string name;
    std::vector<bool> present;
    std::vector<double> wall, cpu;
};

enum { RUN_LIMIT_SECONDS = 60, ORPHAN_LIMIT_SECONDS = 10 };

static bool orphans_linger = false;

static double now_ms()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static double cpu_ms(const rusage &usage)
{
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

static void on_alarm(int) {}

/* Waits for one process, or for any child when pid is -1; false on time-out
   or when there is none. */
static bool wait_with_limit(pid_t pid, int seconds, int *status, rusage *usage)
{
    alarm((unsigned)seconds);
    pid_t ended = wait4(pid, status, 0, usage);
    int saved = errno;
    alarm(0);
    errno = saved;
    return ended > 0;
}

static pid_t start_command(command &c)
{
    pid_t pid = fork();
    if (pid == 0) {
        int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, 0);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        if (!c.directory.empty() && chdir(c.directory.c_str()) != 0)
            _exit(126);
        execvp(c.argv[0], c.argv.data());
        _exit(127);
    }
    return pid;
}

/* Reaps the orphans the run left behind, adding their processor time to
   `cpu`.  Gives the time until the last of them ended, or -1 when one
   outlived the limit (a service the platform started for good): that one is
   left alone, and from then on orphans are reaped without waiting. */
static double reap_orphans(double started, double *cpu)
{
    double last = now_ms();
    int status;
    rusage usage;
    if (orphans_linger) {
        while (wait4(-1, &status, WNOHANG, &usage) > 0)
            ;
        return -1;
    }
    for (;;) {
        if (wait_with_limit(-1, ORPHAN_LIMIT_SECONDS, &status, &usage)) {
            last = now_ms();
            *cpu += cpu_ms(usage);
            continue;
        }
        if (errno == ECHILD)
            return last - started;
        orphans_linger = true;
        return -1;
    }
}

static void run_once(command &c, bool record)
{
    sample s;
    double started = now_ms();
    pid_t pid = start_command(c);
    int status = 0;
    rusage usage = {};
    if (pid < 0 || !wait_with_limit(pid, RUN_LIMIT_SECONDS, &status, &usage)) {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        double ignored = 0;
        reap_orphans(started, &ignored);
        if (record) {
            c.failures++;
            c.samples.push_back(s);
        }
        return;
    }
    s.own = now_ms() - started;
    s.own_cpu = cpu_ms(usage);
    s.has_own = true;
    s.tree_cpu = s.own_cpu;
    s.tree = reap_orphans(started, &s.tree_cpu);
    s.has_tree = s.tree >= 0;
    if (!record)
        return;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        c.failures++;
    c.samples.push_back(s);
}

static double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    double at = q * (double)(v.size() - 1);
    size_t low = (size_t)at;
    size_t high = std::min(low + 1, v.size() - 1);
    return v[low] + (v[high] - v[low]) * (at - (double)low);
}

static std::vector<command> parse_commands(int count, char **words)
{
    std::vector<command> commands;
    for (int i = 0; i < count;) {
        command c;
        c.label = words[i++];
        if (i + 1 < count && std::strcmp(words[i], "-C") == 0) {
            c.directory = words[i + 1];
            i += 2;
        }
        while (i < count && std::strcmp(words[i], ";") != 0)
            c.argv.push_back(words[i++]);
        c.argv.push_back(nullptr);
        i++; /* the ";" */
        commands.push_back(c);
    }
    return commands;
}

static measure select_measure(const command &c, bool tree)
{
    measure m;
    m.name = tree ? c.label + ":tree" : c.label;
    for (const sample &s : c.samples) {
        bool present = tree ? s.has_tree : s.has_own;
        m.present.push_back(present);
        m.wall.push_back(tree ? s.tree : s.own);
        m.cpu.push_back(tree ? s.tree_cpu : s.own_cpu);
    }
    return m;
}

/* The values of the rounds where the measure was taken. */
static std::vector<double> get_taken(const measure &m, const std::vector<double> &values)
{
    std::vector<double> taken;
    for (size_t i = 0; i < values.size(); i++)
        if (m.present[i])
            taken.push_back(values[i]);
    return taken;
}

static void print_times(const std::vector<command> &commands, bool tree)
{
    std::printf("  %-12s %5s %5s %9s %9s %9s %9s %9s %12s\n", "command", "runs", "fail", "median",
                "q1", "q3", "min", "max", "processor");
    for (const command &c : commands) {
        measure m = select_measure(c, tree);
        std::vector<double> wall = get_taken(m, m.wall), cpu = get_taken(m, m.cpu);
        if (wall.empty()) {
            std::printf("  %-12s %5zu %5d   n/a\n", c.label.c_str(), wall.size(), c.failures);
            continue;
        }
        std::printf("  %-12s %5zu %5d %6.1f ms %6.1f ms %6.1f ms %6.1f ms %6.1f ms %9.2f ms\n",
                    c.label.c_str(), wall.size(), c.failures, quantile(wall, 0.5),
                    quantile(wall, 0.25), quantile(wall, 0.75), quantile(wall, 0),
                    quantile(wall, 1), quantile(cpu, 0.5));
    }
}

/* The ratio of the medians, and the median of the ratios and of the
   differences within each round: those pair runs made moments apart, so a
   drift in the machine's load cancels out.  Only rounds where both
   measures were taken are paired. */
static void print_ratio(const measure &a, const measure &b)
{
    std::vector<double> ratios, differences, cpu_differences, a_wall, b_wall;
    for (size_t i = 0; i < a.wall.size() && i < b.wall.size(); i++) {
        if (!a.present[i] || !b.present[i])
            continue;
        a_wall.push_back(a.wall[i]);
        b_wall.push_back(b.wall[i]);
        ratios.push_back(a.wall[i] / b.wall[i]);
        differences.push_back(a.wall[i] - b.wall[i]);
        cpu_differences.push_back(a.cpu[i] - b.cpu[i]);
    }
    if (ratios.empty()) {
        std::printf("  %s / %s: no round with both measures\n", a.name.c_str(), b.name.c_str());
        return;
    }
    std::printf("  %-12s / %-12s  ratio of medians %6.3f   paired: ratio %6.3f (q1 %.3f, q3 %.3f),"
                " difference %+7.1f ms, processor time %+6.2f ms, %zu rounds\n",
                a.name.c_str(), b.name.c_str(), quantile(a_wall, 0.5) / quantile(b_wall, 0.5),
                quantile(ratios, 0.5), quantile(ratios, 0.25), quantile(ratios, 0.75),
                quantile(differences, 0.5), quantile(cpu_differences, 0.5), ratios.size());
}

/* "label" or "label:tree"; false when no command has the label. */
static bool find_measure(const std::vector<command> &commands, std::string side, measure *m)
{
    const std::string suffix = ":tree";
    bool tree = side.size() > suffix.size() &&
                side.compare(side.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (tree)
        side.resize(side.size() - suffix.size());
    for (const command &c : commands)
        if (c.label == side) {
            *m = select_measure(c, tree);
            return true;
        }
    return false;
}

int main(int count, char **words)
{
    if (count < 6) {
        std::fprintf(stderr, "usage: run_alternately ROUNDS WARMUP PAIRS LABEL [-C DIRECTORY] PROGRAM"
                             " [ARGUMENT ...] ';' LABEL ...\n");
        return 2;
    }
    int rounds = std::atoi(words[1]);
    int warmup = std::atoi(words[2]);
    std::string pairs = words[3];
    std::vector<command> commands = parse_commands(count - 4, words + 4);
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    struct sigaction action = {};
    action.sa_handler = on_alarm; /* no SA_RESTART: the alarm ends a wait */
    sigaction(SIGALRM, &action, nullptr);

    size_t n = commands.size();
    for (int round = 0; round < warmup + rounds; round++)
        for (size_t k = 0; k < n; k++)
            run_once(commands[(round + k) % n], round >= warmup);

    std::printf("  %d rounds after %d warm-up rounds; in each round every command ran once,"
                " the order rotating\n", rounds, warmup);
    std::printf("  own: until the command's own process ended; processor time of that process\n");
    print_times(commands, false);
    std::printf("  tree: until the last process the run started had ended; processor time of"
                " all of them\n");
    print_times(commands, true);
    std::stringstream wanted(pairs);
    std::string pair;
    while (std::getline(wanted, pair, ',')) {
        measure first, second;
        if (find_measure(commands, pair.substr(0, pair.find('/')), &first) &&
            find_measure(commands, pair.substr(pair.find('/') + 1), &second))
            print_ratio(first, second);
        else
            std::printf("  no such pair: %s\n", pair.c_str());
    }
    if (orphans_linger)
        std::printf("  note: some process a run started outlived %d s; later runs did not wait"
                    " for orphans\n", ORPHAN_LIMIT_SECONDS);
    int failures = 0;
    for (const command &c : commands)
        failures += c.failures;
    return failures ? 1 : 0;
}
