// Wall time and peak memory of a long speed-mode trace, and of the metrics of
// the same run, written to /dev/null.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

int run(const char* command) {
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
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "trace_bench: vantrel-trace failed (status %d)\n", status);
        return 1;
    }
    std::printf("vantrel-trace %s --mode speed --passes 1000000 > /dev/null: %.3f s wall, %.1f MB peak resident\n",
                command, seconds, static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

}  // namespace

int main() { return run("regulation") != 0 || run("metrics") != 0 ? 1 : 0; }
