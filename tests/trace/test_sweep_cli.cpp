// `vantrel-trace sweep` as a user runs it: rows, order, shards, refusals, stop.
#include "core/batch/sweep_grid.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The gains of a row: columns 2 to 6 (w is empty in position mode; the grids here keep it at 80).
RegulationGains gains_of(const std::string& row) {
    std::istringstream in(row);
    std::string cell;
    std::getline(in, cell, ',');
    int v[5] = {};
    for (int& value : v) {
        std::getline(in, cell, ',');
        value = cell.empty() ? 80 : std::stoi(cell);
    }
    return {static_cast<std::int16_t>(v[0]), static_cast<std::int16_t>(v[1]), static_cast<std::int16_t>(v[2]),
            static_cast<std::int16_t>(v[3]), static_cast<std::int16_t>(v[4])};
}

class SweepCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("vantrel-sweep-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    Result run(const std::string& args) { return run_command("sweep " + args); }

    Result run_command(const std::string& args) {
        const auto out = dir_ / "stdout";
        const auto err = dir_ / "stderr";
        const std::string command =
            std::string(VANTREL_TRACE_PATH) + " " + args + " > " + out.string() + " 2> " + err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }

    std::filesystem::path dir_;
};

// Small grid of position runs: 3 x 2 x 1 x 2 x 1 = 12 gain sets.
const char kGrid[] = "--kp 100:300:100 --ki 0:60:60 --kv 20:30:10";

SweepGrid small_grid() {
    SweepGrid grid;
    grid.ranges = {GainRange{100, 300, 100}, {0, 60, 60}, {0, 0, 1}, {20, 30, 10}, {80, 80, 1}};
    return grid;
}

TEST_F(SweepCli, RowsComeInTheGridsOrderWhateverTheJobsAndEngine) {
    const Result one = run(std::string(kGrid) + " --jobs 1");
    ASSERT_EQ(one.status, 0) << one.err;
    const std::vector<std::string> rows = lines_of(one.out);
    ASSERT_EQ(rows.size(), 1u + 12u);
    EXPECT_EQ(rows[0].rfind("mode,kp,ki,kd,kv,w,passes,", 0), 0u) << rows[0];
    for (std::size_t i = 1; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i]);
        std::uint64_t index = 0;
        ASSERT_TRUE(sweep_index_of(small_grid(), gains_of(rows[i]), index));
        EXPECT_EQ(index, i - 1);
    }
    for (const char* jobs : {"--jobs 3", "--jobs 2 --passes 1000", "--jobs 2 --engine scalar", "--jobs 1 --engine lanes"}) {
        SCOPED_TRACE(jobs);
        const Result many = run(std::string(kGrid) + " " + jobs + " --out " + (dir_ / "many.csv").string());
        ASSERT_EQ(many.status, 0) << many.err;
        EXPECT_EQ(slurp(dir_ / "many.csv"), one.out);
    }
}

// kp 100 runs clean, kp 30000 wraps; --wraps only adds that column, the same with every engine.
TEST_F(SweepCli, WrapsColumnMarksTheRunsThatWrap) {
    const std::string grid = "--passes 300 --kp 100:30000:29900";
    const std::vector<std::string> plain = lines_of(run(grid + " --jobs 1").out);
    ASSERT_EQ(plain.size(), 3u);
    for (const char* jobs : {"--jobs 1", "--jobs 2 --engine scalar", "--jobs 2 --engine lanes"}) {
        SCOPED_TRACE(jobs);
        const Result marked = run(grid + " --wraps " + jobs);
        ASSERT_EQ(marked.status, 0) << marked.err;
        EXPECT_EQ(lines_of(marked.out), (std::vector<std::string>{plain[0] + ",wraps", plain[1] + ",0", plain[2] + ",1"}));
    }
}

TEST_F(SweepCli, ManyWorkersKeepTheOrderOfALongSweep) {
    const std::string grid = "--kp 0:999:1 --ki 50:54:1";  // 5000 gain sets, several chunks per worker
    const Result one = run(grid + " --jobs 1");
    const Result three = run(grid + " --jobs 3");
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(three.status, 0) << three.err;
    EXPECT_EQ(lines_of(three.out).size(), 5001u);
    EXPECT_TRUE(three.out == one.out);
}

TEST_F(SweepCli, ShardsMergeToTheSingleTable) {
    const Result whole = run(std::string(kGrid) + " --jobs 1");
    ASSERT_EQ(whole.status, 0) << whole.err;
    std::map<std::uint64_t, std::string> merged;
    std::string header;
    for (const char* shard : {"0/5", "1/5", "2/5", "3/5", "4/5"}) {
        SCOPED_TRACE(shard);
        const Result part = run(std::string(kGrid) + " --jobs 2 --shard " + shard);
        ASSERT_EQ(part.status, 0) << part.err;
        const std::vector<std::string> rows = lines_of(part.out);
        ASSERT_FALSE(rows.empty());
        header = rows[0];
        for (std::size_t i = 1; i < rows.size(); ++i) {
            std::uint64_t index = 0;
            ASSERT_TRUE(sweep_index_of(small_grid(), gains_of(rows[i]), index));
            EXPECT_EQ(index % 5, static_cast<std::uint64_t>(shard[0] - '0'));
            EXPECT_TRUE(merged.emplace(index, rows[i]).second) << "row twice: " << rows[i];
        }
    }
    std::string table = header + "\n";
    for (const auto& [index, row] : merged) table += row + "\n";
    EXPECT_EQ(table, whole.out);
}

TEST_F(SweepCli, EveryRowIsWhatMetricsPrintsForItsGains) {
    struct {
        std::string sweep;
        std::string metrics;
        std::size_t row;  // among the sweep's rows, header not counted
    } cases[] = {
        {"--kp 100:300:100 --ki 30", "--kp 300 --ki 30", 2},
        {"--mode speed --passes 300 --kp 200 --w -100:100:100", "--mode speed --passes 300 --kp 200 --w -100", 0},
        {"--mode speed --passes 300 --kp 200 --w -100:100:100", "--mode speed --passes 300 --kp 200 --w 0", 1},
        {"--kv 10:90:40 --passes 50", "--kv 90 --passes 50", 2},
        {"--passes 200 --gains GAINS --kd 0:6:3", "--passes 200 --gains GAINS", 1},
        {"--kd 0:6:3 --passes 200 --gains GAINS", "--kd 0 --passes 200 --gains GAINS", 0},
        {"--gains GAINS --mode position --ki 0:40:40", "--gains GAINS --mode position", 1},
    };
    std::ofstream(dir_ / "gains.ini") << "[gains]\nkp=180\nki=40\nkd=3\nkv=25\nw=-60\npos=20\nspeed_mode=true\n";
    for (auto& c : cases) {
        SCOPED_TRACE(c.sweep);
        for (std::string* args : {&c.sweep, &c.metrics}) {
            if (const auto at = args->find("GAINS"); at != std::string::npos) args->replace(at, 5, (dir_ / "gains.ini").string());
        }
        const Result metrics = run_command("metrics " + c.metrics);
        if (metrics.status == 2 && metrics.err.find("unknown command") != std::string::npos) {
            GTEST_SKIP() << "vantrel-trace metrics is not there";
        }
        ASSERT_EQ(metrics.status, 0) << metrics.err;
        const Result sweep = run(c.sweep + " --jobs 2");
        ASSERT_EQ(sweep.status, 0) << sweep.err;
        const std::vector<std::string> rows = lines_of(sweep.out);
        const std::vector<std::string> expected = lines_of(metrics.out);
        ASSERT_EQ(expected.size(), 2u);
        ASSERT_GT(rows.size(), c.row + 1);
        EXPECT_EQ(rows[0], expected[0]);
        EXPECT_EQ(rows[c.row + 1], expected[1]);
    }
}

TEST_F(SweepCli, RefusalsAreOneLineExitTwoAndRunNothing) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--kp 1:2:3:4", "--kp '1:2:3:4': a range is V, FROM:TO or FROM:TO:STEP"},
        {"--ki 0:10:0", "--ki '0:10:0': STEP must be above 0"},
        {"--kd 10:0:1", "--kd '10:0:1': FROM 10 lies above TO 0"},
        {"--kv 0:40000:1", "--kv '0:40000:1': 40000 does not fit 16 bits"},
        {"--kp -32768:32767:1 --ki -32768:32767:1", "the grid has 4294967296 gain sets"},
        {"--shard 3/3", "--shard '3/3': K 3 must lie below N 3"},
        {"--shard 1", "--shard '1': a shard is K/N"},
        {"--mode speed", "speed mode needs --passes N"},
        {"--jobs 0", "--jobs"},
        {"--engine fast", "--engine needs 'auto', 'lanes' or 'scalar', not 'fast'"},
        {"--bogus 1", "unknown option '--bogus'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto file = dir_ / "refused.csv";
        const Result r = run(std::string(c.args) + " --out " + file.string());
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vantrel-trace: sweep: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);  // stdout, stderr
    }
}

TEST_F(SweepCli, InterruptedSweepLeavesNoOutFile) {
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        const auto file = dir_ / "stopped.csv";
        const std::string out = file.string();
        const pid_t child = ::fork();
        if (child == 0) {
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, STDERR_FILENO);
            ::execl(VANTREL_TRACE_PATH, VANTREL_TRACE_PATH, "sweep", "--kp", "0:9999:1", "--ki", "0:999:1", "--jobs",
                    jobs, "--out", out.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(child, 0);
        // The sweep takes minutes: the stop meets it mid-way, its file unnamed yet.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::kill(child, SIGINT);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 0);  // neither the file nor its temporary
    }
}

}  // namespace
