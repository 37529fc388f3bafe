// Wall time, CPU time and peak memory of long traces written to /dev/null:
// the plain regulation run, its metrics and the run with its insight, and a
// program of 100,000 blocks stepped by `nc` and drawn by `image nc`.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The CPU seconds of `vantrel-trace args`, or a negative number when it failed.
double measure(std::vector<std::string> args) {
    std::string shown = "vantrel-trace";
    for (const std::string& arg : args) shown += " " + arg;
    args.insert(args.begin(), VANTREL_TRACE_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        std::perror("trace_bench");
        return -1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "trace_bench: %s failed (status %d)\n", shown.c_str(), status);
        return -1;
    }
    const auto time = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    const double cpu = time(usage.ru_utime) + time(usage.ru_stime);
    std::printf("%s > /dev/null: %.3f s wall, %.3f s CPU, %.1f MB peak resident\n", shown.c_str(), seconds, cpu,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return cpu;
}

}  // namespace

int main() {
    for (const char* command : {"regulation", "metrics", "insight"}) {
        if (measure({command, "--mode", "speed", "--passes", "1000000"}) < 0) return 1;
    }
    // The longest program there may be: 100,000 blocks, about 12 million steps.
    const auto folder = std::filesystem::temp_directory_path() / ("vantrel-trace-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string program = (folder / "long.nc").string();
    {
        std::ofstream file(program);
        file << "G1\n";
        for (int i = 0; i < 50000; ++i) file << "X250 Y1\nX-250 Y-1\n";
    }
    const double nc = measure({"nc", "--program", program});
    const double image = measure({"image", "nc", "--program", program, "--out", (folder / "long.png").string()});
    std::filesystem::remove_all(folder);
    if (nc <= 0 || image < 0) return 1;
    std::printf("image nc / nc of that program: %.2f times the CPU time\n", image / nc);
    return 0;
}
