/*
 * Times whole commands in alternation: round after round, every command runs
 * once, the order rotating from round to round, so that a slow spell of the
 * shared machine falls on all of them alike rather than on whichever ran
 * during it.  Each run is a fork and exec of the command itself, no shell, with
 * standard input, output and error on /dev/null; its time is the wall-clock
 * time from fork to the end of that process.
 *
 * A starter ends before the process it started.  This runner adopts such
 * orphans (it is a child subreaper) and, untimed, waits for every one of them
 * to end before the next run, so no run shares the machine with the tail of
 * the one before.  The time until the last of them ended is reported too.
 *
 * Usage: run_alternately ROUNDS WARMUP PAIRS LABEL PROGRAM [ARGUMENT ...] ';' LABEL ...
 * PAIRS names the comparisons to print, as "label/label" joined by commas.
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

struct command {
    std::string label;
    std::vector<char *> argv;
    std::vector<double> own;  /* ms until the command's own process ended */
    std::vector<double> tree; /* ms until the last process it started ended */
    std::vector<double> cpu;  /* ms of processor time of its own process */
    int failures = 0;
};

enum { RUN_LIMIT_SECONDS = 60, ORPHAN_LIMIT_SECONDS = 10 };

static bool orphans_linger = false;

static double now_ms()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void on_alarm(int) {}

/* Waits for one process, or for any child when pid is -1; false on time-out
   or when there is none. */
static bool wait_with_limit(pid_t pid, int seconds, int *status, rusage *usage = nullptr)
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
        execvp(c.argv[0], c.argv.data());
        _exit(127);
    }
    return pid;
}

/* Reaps the orphans the run left behind.  A process that outlives the limit
   (a service the platform started for good) is left alone, and from then on
   orphans are reaped without waiting. */
static double reap_orphans(double started)
{
    double last = now_ms();
    int status;
    if (orphans_linger) {
        while (waitpid(-1, &status, WNOHANG) > 0)
            ;
        return -1;
    }
    for (;;) {
        if (wait_with_limit(-1, ORPHAN_LIMIT_SECONDS, &status)) {
            last = now_ms();
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
    double started = now_ms();
    pid_t pid = start_command(c);
    int status = 0;
    rusage usage = {};
    if (pid < 0 || !wait_with_limit(pid, RUN_LIMIT_SECONDS, &status, &usage)) {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        c.failures += record;
        reap_orphans(started);
        return;
    }
    double own = now_ms() - started;
    double tree = reap_orphans(started);
    if (!record)
        return;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        c.failures++;
    c.own.push_back(own);
    c.cpu.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    if (tree >= 0)
        c.tree.push_back(tree);
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
        while (i < count && std::strcmp(words[i], ";") != 0)
            c.argv.push_back(words[i++]);
        c.argv.push_back(nullptr);
        i++; /* the ";" */
        commands.push_back(c);
    }
    return commands;
}

static void print_times(const std::vector<command> &commands)
{
    std::printf("  %-10s %5s %5s %9s %9s %9s %9s %9s   %s\n", "command", "runs", "fail",
                "median", "q1", "q3", "min", "max", "median: processor time; until last child ended");
    for (const command &c : commands) {
        char tree[64] = "n/a";
        if (c.tree.size() == c.own.size() && !c.tree.empty())
            std::snprintf(tree, sizeof tree, "%.1f ms", quantile(c.tree, 0.5));
        std::printf("  %-10s %5zu %5d %6.1f ms %6.1f ms %6.1f ms %6.1f ms %6.1f ms   %.1f ms; %s\n",
                    c.label.c_str(), c.own.size(), c.failures, quantile(c.own, 0.5),
                    quantile(c.own, 0.25), quantile(c.own, 0.75), quantile(c.own, 0),
                    quantile(c.own, 1), quantile(c.cpu, 0.5), tree);
    }
}

/* The ratio of the medians, and the median of the ratios and of the
   differences within each round: those pair runs made moments apart, so a
   drift in the machine's load cancels out. */
static void print_ratio(const command &a, const command &b)
{
    if (a.own.empty() || b.own.empty() || a.own.size() != b.own.size())
        return;
    std::vector<double> ratios, differences, cpu_differences;
    for (size_t i = 0; i < a.own.size(); i++) {
        ratios.push_back(a.own[i] / b.own[i]);
        differences.push_back(a.own[i] - b.own[i]);
        cpu_differences.push_back(a.cpu[i] - b.cpu[i]);
    }
    std::printf("  %-8s / %-8s  ratio of medians %6.3f   paired: ratio %6.3f (q1 %.3f, q3 %.3f),"
                " difference %+7.1f ms, processor time %+6.2f ms\n",
                a.label.c_str(), b.label.c_str(), quantile(a.own, 0.5) / quantile(b.own, 0.5),
                quantile(ratios, 0.5), quantile(ratios, 0.25), quantile(ratios, 0.75),
                quantile(differences, 0.5), quantile(cpu_differences, 0.5));
}

int main(int count, char **words)
{
    if (count < 6) {
        std::fprintf(stderr, "usage: run_alternately ROUNDS WARMUP PAIRS LABEL PROGRAM [ARGUMENT ...]"
                             " ';' LABEL ...\n");
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
    print_times(commands);
    std::stringstream wanted(pairs);
    std::string pair;
    while (std::getline(wanted, pair, ',')) {
        std::string a = pair.substr(0, pair.find('/')), b = pair.substr(pair.find('/') + 1);
        const command *first = nullptr, *second = nullptr;
        for (const command &c : commands) {
            first = c.label == a ? &c : first;
            second = c.label == b ? &c : second;
        }
        if (first && second)
            print_ratio(*first, *second);
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
