// `vantrel-trace tune` as a user runs it, with its default two workers and
// budget: boxes measured whole (3 x 10^7 position sets of the demo program,
// 2.5 x 10^7 speed sets of 300 passes, each with and without --no-wraps),
// the README's example of about 10^12 sets, and two boxes where a thin
// feasible region decides the answer. Prints wall and CPU time (the CPU
// seconds over two are what two idle cores take), the rate, what the answer
// stands on and the answer. Exits 1 when a whole box would take 30 s or more
// of two idle cores, the example 20 s or more, or an answer is not the one
// every set measured gives.
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double children_cpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    double wall = 0;
    double cpu = 0;
    std::string out;  // the best row
    std::string err;  // the last line of standard error
};

std::string last_line(const std::string& text) {
    const std::size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    const std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

std::string slurp(const char* path) {
    std::string text;
    if (FILE* f = std::fopen(path, "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

Run tune(const std::string& args) {
    const std::string out = "/tmp/vantrel-tune-bench.out", err = "/tmp/vantrel-tune-bench.err";
    const std::string command = std::string(VANTREL_TRACE_PATH) + " tune " + args + " > " + out + " 2> " + err;
    const double cpu = children_cpu();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) == -1) std::perror("system");
    Run run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = children_cpu() - cpu;
    run.out = last_line(slurp(out.c_str()));
    run.err = last_line(slurp(err.c_str()));
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

// "speed,3,128,69,30,20,300,..." -> "kp 3, ki 128, kd 69, kv 30"
std::string gains_of(const std::string& row) {
    std::string cells[5];
    std::size_t at = 0;
    for (std::string& cell : cells) {
        const std::size_t comma = row.find(',', at);
        cell = row.substr(at, comma - at);
        at = comma == std::string::npos ? row.size() : comma + 1;
    }
    return "kp " + cells[1] + ", ki " + cells[2] + ", kd " + cells[3] + ", kv " + cells[4];
}

bool report(const char* what, const Run& r, double sets, double mostSeconds) {
    const double twoCores = r.cpu / 2;
    std::printf("%s\n  %.1f s wall, %.1f s CPU (%.1f s on two idle cores, %.3g sets per second)\n  %s\n  answer: %s\n", what,
                r.wall, r.cpu, twoCores, sets / twoCores, r.err.c_str(), gains_of(r.out).c_str());
    if (twoCores >= mostSeconds) std::printf("  TOO SLOW: %.0f s or more\n", mostSeconds);
    return twoCores < mostSeconds;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average at start: %.1f\n", load[0]);
    bool ok = true;
    for (const char* wraps : {"", " --no-wraps"}) {
        const std::string position = std::string("--kp 0:2999 --ki 0:99 --kd 0:99 --max pwm_limit_passes=0") + wraps;
        ok = report(("3 x 10^7 position sets: " + position).c_str(), tune(position), 3e7, 30) && ok;
        const std::string speed =
            std::string("--mode speed --passes 300 --kp 0:499 --ki 0:499 --kd 0:99 --max overshoot_pct=5") + wraps;
        ok = report(("2.5 x 10^7 speed sets: " + speed).c_str(), tune(speed), 2.5e7, 30) && ok;
    }
    const Run example = tune("--kp 0:3000 --ki 0:1000 --kd 0:1000 --kv 1:500 --no-wraps --max pwm_limit_passes=0");
    ok = report("the README's example (last round: kp 121, ki 191, kd 70, kv 500, iae 332)", example, 6.7e7, 20) && ok;
    std::printf("  its row: %s\n", example.out.c_str());

    // The two boxes: a feasible slab at ki 127 to 129 decides both.
    const struct {
        const char* args;
        const char* answer;
    } slabs[] = {
        {"--mode speed --w 20 --passes 300 --kp 0:400 --ki 0:300 --kd 0:200 --objective iae --max steady_error=1",
         "kp 3, ki 128, kd 69, kv 30"},
        {"--mode speed --w -12 --passes 250 --kp 0:400 --ki 0:300 --kd 0:200 --objective steady_error --max "
         "overshoot_pct=2",
         "kp 1, ki 128, kd 121, kv 30"},
    };
    for (const auto& slab : slabs) {
        const Run r = tune(slab.args);
        ok = report(slab.args, r, 2.43e7, 30) && ok;
        if (gains_of(r.out) != slab.answer) {
            std::printf("  WRONG: every set measured gives %s\n", slab.answer);
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
