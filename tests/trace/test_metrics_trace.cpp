// `vantrel-trace metrics` against the run `vantrel-trace regulation` traces,
// and gain files read with --gains.
#include "core/formats/metrics_format.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
    int status;
    std::string out;
};

// Standard error joins standard output.
Result trace(const std::string& args) {
    const std::string command = std::string(VANTREL_TRACE_PATH) + " " + args + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int raw = ::pclose(pipe);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

// The metrics of the run as `regulation` traces it, from its CSV rows.
std::string metrics_from_trace(const std::string& args, bool speedMode, const RegulationGains& gains) {
    std::stringstream rows(trace("regulation " + args).out);
    std::string line;
    std::getline(rows, line);  // header
    std::getline(rows, line);  // the start row is not a pass
    RunMetricsAccumulator acc;
    acc.reset(speedMode, gains.w);
    for (int y, speed, position, commanded; std::getline(rows, line);) {
        std::sscanf(line.c_str(), "%*d,%d,%d,%d,%d", &y, &speed, &position, &commanded);
        // Position mode traces the position loop's output, not the speed loop's.
        if (speedMode) acc.add_pass(gains.w, static_cast<std::int16_t>(speed), static_cast<std::int16_t>(y));
        else acc.add_pass(static_cast<std::int16_t>(commanded), static_cast<std::int16_t>(position), 0);
    }
    return metrics_csv_header() + metrics_csv_row(gains, acc.result());
}

TEST(MetricsTrace, RowIsTheMetricsOfTheTracedRun) {
    const struct {
        const char* args;
        bool speedMode;
        RegulationGains gains;
    } cases[] = {
        {"--mode speed --passes 300", true, {250, 60, 0, 30, 80}},
        {"--mode speed --passes 2000 --kp 40 --ki 5 --kd 10 --w -60", true, {40, 5, 10, 30, -60}},
        {"--kp 120 --ki 10 --kd 5 --kv 100 --passes 150", false, {120, 10, 5, 100, 80}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result got = trace(std::string("metrics ") + c.args);
        ASSERT_EQ(got.status, 0) << got.out;
        std::string expected = metrics_from_trace(c.args, c.speedMode, c.gains);
        if (!c.speedMode) {  // compare all but pwm_limit_passes, which that trace cannot tell
            expected.erase(expected.rfind(',') + 1);
            EXPECT_EQ(got.out.substr(0, got.out.rfind(',') + 1), expected);
        } else {
            EXPECT_EQ(got.out, expected);
        }
    }
    EXPECT_EQ(trace("metrics --format json").out.substr(0, 60),
              "{\"mode\":\"position\",\"kp\":250,\"ki\":60,\"kd\":0,\"kv\":30,\"w\":null,");
}

// The most memory the program held while running `args`, in KiB; -1 when it failed.
long peak_kib(std::vector<std::string> args) {
    args.insert(args.begin(), VANTREL_TRACE_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

// A run a hundred or ten thousand times longer holds no more memory.
TEST(MetricsTrace, MemoryStaysTheSameHoweverLongTheRun) {
    QTemporaryDir dir;
    const std::string program = dir.filePath("long.nc").toStdString();
    std::ofstream file(program);
    file << "G1\n";
    for (int i = 0; i < 1000; ++i) file << "X255 Y1\nX-255 Y-1\n";  // half a million steps
    file.close();
    const struct {
        std::vector<std::string> shortRun;
        std::vector<std::string> longRun;
    } cases[] = {
        {{"metrics", "--mode", "speed", "--passes", "1000"}, {"metrics", "--mode", "speed", "--passes", "10000000"}},
        {{"nc"}, {"nc", "--program", program}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.longRun.back());
        const long shortPeak = peak_kib(c.shortRun);
        const long longPeak = peak_kib(c.longRun);
        ASSERT_GT(shortPeak, 0);
        ASSERT_GT(longPeak, 0);
        EXPECT_LT(longPeak - shortPeak, 4096);
    }
}

TEST(MetricsTrace, GainFileAndTheOptionsAfterItDecide) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("g.ini").toStdString();
    std::ofstream(file) << "[gains]\nkp=100\nki=20\nkd=3\nkv=40\nw=-50\npos=0\nspeed_mode=true\n";
    const struct {
        std::string args;
        const char* rowStart;
    } cases[] = {
        {"--gains " + file + " --passes 5", "speed,100,20,3,40,-50,5,"},
        {"--kp 7 --mode position --gains " + file + " --passes 5", "speed,100,20,3,40,-50,5,"},
        {"--gains " + file + " --kp 7 --w 70000 --passes 5", "speed,7,20,3,40,4464,5,"},
        {"--gains " + file + " --mode position", "position,100,20,3,40,,195,"},
        {"--gains - --passes 5 < " + file, "speed,100,20,3,40,-50,5,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result got = trace("metrics " + c.args);
        ASSERT_EQ(got.status, 0) << got.out;
        const std::string row = got.out.substr(got.out.find("\n", got.out.find("mode,kp")) + 1);
        EXPECT_EQ(row.rfind(c.rowStart, 0), 0u) << row;
    }
    // Regulation takes the same file the same way.
    EXPECT_EQ(trace("regulation --gains " + file + " --passes 1").out,
              trace("regulation --mode speed --kp 100 --ki 20 --kd 3 --kv 40 --w -50 --passes 1").out);

    // A FIFO whose writer sends the file in two pieces, the second a moment later.
    const std::string fifo = dir.filePath("fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string pieces =
        "timeout 10 sh -c '{ head -c 20 " + file + "; sleep 0.1; tail -c +21 " + file + "; } > " + fifo + "'";
    EXPECT_EQ(trace("metrics --passes 5 --gains " + fifo + " & " + pieces + "; wait").out,
              trace("metrics --passes 5 --gains " + file).out);

    // One line naming the file, its line and column, and nothing else (standard
    // output joins it here, and stays empty).
    const std::string bad = dir.filePath("bad.ini").toStdString();
    std::ofstream(bad) << "[gains]\nkp=1e3\n";
    const struct {
        std::string args;
        std::string error;
    } refused[] = {
        {"--gains " + bad, bad + ":2:4: key kp: value '1e3' is not a whole number"},
        {"--gains - < " + file + ".twice", "<stdin>:9:1: key kp is given twice: first on line 2"},
    };
    std::ofstream(file + ".twice") << "[gains]\nkp=100\nki=20\nkd=3\nkv=40\nw=-50\npos=0\nspeed_mode=true\nkp=1\n";
    for (const auto& r : refused) {
        SCOPED_TRACE(r.args);
        const Result got = trace("metrics " + r.args);
        EXPECT_EQ(got.status, 1);
        EXPECT_EQ(got.out, "vantrel-trace: " + r.error + "\n");
    }
}

}  // namespace
