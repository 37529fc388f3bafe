// Sweep speed: position-mode runs per second on one core (metrics and CSV row
// included), then `vantrel-trace sweep` over 10^6 gain sets with one worker
// process on the scalar engine and on the lanes, and with two on the lanes
// (wall time, rate, CPU time, peak resident memory of the largest process;
// the tables must be the same bytes), and two shards run side by side and
// merged as the README shows.
#include "core/measure/headless_run.h"
#include "core/formats/metrics_format.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double seconds_of(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

// CPU seconds used by the last process waited for (with its own workers).
double lastCpuSeconds = 0;

void one_core_rate() {
    constexpr int kRuns = 200000;
    std::size_t bytes = 0;
    const auto start = Clock::now();
    const double cpuStart = cpu_seconds();
    RunMeter meter;
    for (int i = 0; i < kRuns; ++i) {
        const RegulationGains gains{static_cast<std::int16_t>(i % 1000), static_cast<std::int16_t>(i / 1000), 0, 30, 80};
        bytes += metrics_csv_row(gains, measure_regulation_run(meter, false, gains, INT64_MAX)).size();
    }
    const double s = seconds_since(start);
    const double cpu = cpu_seconds() - cpuStart;
    std::printf("one core, in process: %d position runs with metrics and CSV row: %.3f s wall = %.0f runs/s; "
                "%.3f s CPU = %.0f runs per CPU second (%zu bytes)\n",
                kRuns, s, kRuns / s, cpu, kRuns / cpu, bytes);
}

struct Spawned {
    pid_t pid;
};

Spawned spawn(const std::vector<std::string>& args, const char* out) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return {pid};
}

// Waits; returns the peak resident memory in MB of the largest process of its tree.
double wait_for(Spawned s) {
    int status = 0;
    rusage usage{};
    if (wait4(s.pid, &status, 0, &usage) != s.pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "trace_sweep_bench: vantrel-trace failed (status %d)\n", status);
        std::exit(1);
    }
    lastCpuSeconds = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

const std::vector<std::string> kGrid = {VANTREL_TRACE_PATH, "sweep", "--kp", "0:999:1", "--ki", "0:999:1"};

std::vector<std::string> with(std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
    return args;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average at start: %.1f on %ld cores\n", load[0], sysconf(_SC_NPROCESSORS_ONLN));
    one_core_rate();

    const std::string dir = "/tmp/vantrel-sweep-bench-" + std::to_string(getpid());
    std::system(("mkdir -p " + dir).c_str());
    double jobsSeconds[3] = {};
    const struct {
        int jobs;
        const char* engine;
    } sweeps[] = {{1, "scalar"}, {1, "auto"}, {2, "auto"}};
    for (const auto& sweep : sweeps) {
        const auto start = Clock::now();
        const std::string out = dir + (sweep.jobs == 2 ? "/all.csv" : "/one.csv");
        const double mb = wait_for(
            spawn(with(kGrid, {"--jobs", std::to_string(sweep.jobs), "--engine", sweep.engine}), out.c_str()));
        const double s = seconds_since(start);
        jobsSeconds[sweep.jobs] = s;
        std::printf("vantrel-trace sweep, 10^6 position gain sets, --jobs %d --engine %s: %.2f s wall = %.0f runs/s; "
                    "%.2f s CPU in all processes = %.0f runs per CPU second; peak %.1f MB in the largest process\n",
                    sweep.jobs, sweep.engine, s, 1e6 / s, lastCpuSeconds, 1e6 / lastCpuSeconds, mb);
    }
    if (std::system(("cmp -s " + dir + "/one.csv " + dir + "/all.csv").c_str()) != 0) {
        std::printf("the engines' tables DIFFER\n");
        return 1;
    }

    // Two shards side by side (as two machines would run them), then merged.
    const auto start = Clock::now();
    const Spawned a = spawn(with(kGrid, {"--jobs", "1", "--shard", "0/2"}), (dir + "/s0.csv").c_str());
    const Spawned b = spawn(with(kGrid, {"--jobs", "1", "--shard", "1/2"}), (dir + "/s1.csv").c_str());
    wait_for(a);
    double shardCpu = lastCpuSeconds;
    wait_for(b);
    shardCpu += lastCpuSeconds;
    const double shards = seconds_since(start);
    const auto mergeStart = Clock::now();
    const std::string merge = "cd " + dir + " && { head -n 1 s0.csv; tail -q -n +2 s0.csv s1.csv | "
                              "LC_ALL=C sort -t, -s -k2,2n -k3,3n -k4,4n -k5,5n -k6,6n; } > merged.csv && cmp -s merged.csv all.csv";
    const int same = std::system(merge.c_str());
    const double merged = seconds_since(mergeStart);
    std::printf("two shards side by side: %.2f s wall (%+.0f %% against --jobs 2), %.2f s CPU; merge by sort: %.2f s; "
                "merged table %s the single table\n",
                shards, 100.0 * (shards / jobsSeconds[2] - 1.0), shardCpu, merged, same == 0 ? "equals" : "DIFFERS FROM");
    std::fflush(stdout);
    std::system(("rm -rf " + dir).c_str());
    return same == 0 ? 0 : 1;
}
