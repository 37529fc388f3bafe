// Wall time, CPU time and peak memory of long speed-mode traces written to
// /dev/null: the plain regulation run, its metrics and the run with its insight.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

bool measure(const char* command) {
    const char* const argv[] = {VANTREL_TRACE_PATH, command, "--mode", "speed", "--passes", "1000000", nullptr};
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        std::perror("trace_bench");
        return false;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "trace_bench: vantrel-trace failed (status %d)\n", status);
        return false;
    }
    const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    std::printf("vantrel-trace %s --mode speed --passes 1000000 > /dev/null: %.3f s wall, %.3f s CPU, %.1f MB peak "
                "resident\n",
                command, seconds, cpu(usage.ru_utime) + cpu(usage.ru_stime), static_cast<double>(usage.ru_maxrss) / 1024.0);
    return true;
}

}  // namespace

int main() { return measure("regulation") && measure("metrics") && measure("insight") ? 0 : 1; }

