// The command-line front end as a user runs it: output, errors, exit status.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TraceCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("vantrel-trace-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // `prefix` runs before the program (e.g. "env" and its options).
    Result run(const std::string& args, const std::string& prefix = "") {
        const auto out = dir_ / "stdout";
        const auto err = dir_ / "stderr";
        const std::string command = (prefix.empty() ? "" : prefix + " ") + std::string(VANTREL_TRACE_PATH) + " " +
                                    args + " > " + out.string() + " 2> " + err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(out), read_file(err)};
    }

    std::filesystem::path dir_;
};

std::string first_lines(const std::string& text, int count) {
    std::size_t end = 0;
    for (int i = 0; i < count && end != std::string::npos; ++i) end = text.find('\n', end + (i > 0));
    return text.substr(0, end == std::string::npos ? end : end + 1);
}

int line_count(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(TraceCli, SpeedModeRowsAreTheChartPoints) {
    const Result r = run("regulation --mode speed --passes 5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "time,series1,series2,series3,series4\n0,0,0,0,0\n4,248,0,,\n8,221,24,,\n12,227,33,,\n"
              "16,246,36,,\n20,253,40,,\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(TraceCli, PositionModeRunsTheProgramToItsEnd) {
    const Result r = run("regulation");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(line_count(r.out), 2 + 195);
    EXPECT_EQ(first_lines(r.out, 3), "time,series1,series2,series3,series4\n0,0,0,0,0\n4,0,0,0,0\n");
    EXPECT_NE(r.out.find("\n780,"), std::string::npos);
    EXPECT_EQ(line_count(run("regulation --passes 10").out), 2 + 10);
}

TEST_F(TraceCli, EditTextsAreReadAsTheWindowReadsThem) {
    const struct {
        const char* args;
        const char* warning;
        const char* secondRow;
    } cases[] = {
        {"--kp abc", "--kp 'abc' is not a number", "4,48,0,,\n"},  // Ki alone: 60 * 80 / 100
        {"--kp 70000", "--kp 70000 wraps to 4464", nullptr},
        {"--w ''", "--w '' is not a number", "4,0,0,,\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(std::string("regulation --mode speed --passes 1 ") + c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        EXPECT_EQ(line_count(r.err), 1);
        if (c.secondRow != nullptr) {
            EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), c.secondRow);
        }
    }
}

std::vector<std::vector<std::string>> csv_cells(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) rows.back().push_back(cell);
        if (!line.empty() && line.back() == ',') rows.back().emplace_back();
    }
    return rows;
}

// insight's time, y, speed, position and command are regulation's time and
// series, row by row (regulation adds the start points first).
TEST_F(TraceCli, InsightIntegerColumnsAreTheRegulationRun) {
    for (const char* args : {"--mode speed --passes 400", "--mode speed --passes 200 --kp 70000 --kd 90",
                             "", "--kv 3000 --kp 900", "--kv abc"}) {
        SCOPED_TRACE(args);
        const Result regulation = run(std::string("regulation ") + args);
        const Result insight = run(std::string("insight ") + args);
        ASSERT_EQ(insight.status, 0) << insight.err;
        EXPECT_EQ(insight.err, regulation.err);
        const auto expected = csv_cells(regulation.out);
        const auto rows = csv_cells(insight.out);
        ASSERT_EQ(rows.size(), expected.size() - 1);
        ASSERT_EQ(rows[0].size(), 10u);
        const bool speedMode = std::string(args).find("speed") != std::string::npos;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(rows[i].size(), 10u);
            EXPECT_EQ(rows[i][0], std::to_string(i));
            for (std::size_t c = 0; c < (speedMode ? 4u : 5u); ++c) EXPECT_EQ(rows[i][c + 1], expected[i + 1][c]);
            if (speedMode) {
                EXPECT_EQ(rows[i][4], "");
            }
        }
    }
}

TEST_F(TraceCli, NcTraceEndsWithTheFirstNonZeroResult) {
    const Result r = run("nc");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(first_lines(r.out, 4), "call,result,X,Y,Z\n1,0,0,0,0\n2,0,0,1,0\n3,0,1,3,0\n");
    EXPECT_EQ(line_count(r.out), 1 + 196);
    EXPECT_NE(r.out.find("\n195,0,0,-1,0\n196,1,0,-1,0\n"), std::string::npos);
}

TEST_F(TraceCli, ProgramFileRunsInsteadOfTheDemo) {
    const Result demo = run("nc --print-demo");
    ASSERT_EQ(demo.status, 0) << demo.err;
    EXPECT_EQ(demo.out, read_file(VANTREL_EXAMPLES_DIR "/demo.nc"));
    const auto demoFile = dir_ / "demo.nc";
    std::ofstream(demoFile) << demo.out;
    EXPECT_EQ(run("nc --program " + demoFile.string()).out, run("nc").out);

    const auto file = dir_ / "jump.nc";
    std::ofstream(file) << "G0 X-5 Y6\nG1 X2\n";
    Result r = run("nc --program " + file.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "call,result,X,Y,Z\n1,0,0,0,0\n2,0,-5,6,0\n3,0,-3,6,0\n4,1,-3,6,0\n");
    r = run("regulation --program " + file.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(line_count(r.out), 1 + 1 + 3);  // header, start points, one row per pass before the end
    EXPECT_NE(r.out.find("\n12,"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.rfind(',') + 1), "-3\n");  // the commanded X at the end
    r = run("metrics --program " + file.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out, run("metrics").out);  // measured over the file's run, not the demo's
    const auto png = dir_ / "jump.png";
    r = run("image nc --program " + file.string() + " --out " + png.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(png));
}

TEST_F(TraceCli, ProgramThatDoesNotLoadExitsOneWithItsFirstError) {
    const auto file = dir_ / "bad.nc";
    std::ofstream(file) << "G1 X1\nG1 Y40000\n";
    for (const std::string command : {"nc", "regulation", "metrics", "image nc --out x.png"}) {
        SCOPED_TRACE(command);
        const Result r = run(command + " --program " + file.string());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "vantrel-trace: " + file.string() +
                             ":2:4: Y value 40000 is beyond the 16-bit range (-32768 to 32767)\n");
    }
    EXPECT_FALSE(std::filesystem::exists("x.png"));
}

TEST_F(TraceCli, UsageErrorsExitTwoWithNothingOnStandardOutput) {
    const char* cases[] = {
        "",
        "bogus",
        "regulation --bogus 1",
        "regulation --kp",
        "regulation --mode fast",
        "regulation --mode speed",
        "regulation --passes 0",
        "regulation --passes x",
        "metrics --format xml",
        "metrics --gains - --program -",
        "metrics --mode speed",
        "circle --r",
        "image",
        "image square --out x.png",
        "image nc",
        "nc --print-demo --program x.nc",
        "nc --print-demo=yes",
        "nc --program",
        "image --out x.png",
        "image nc circle --out x.png",
        "image nc --out x.unknownformat",
        "image circle --program x.nc --out x.png",  // circle draws no program
        "nc --out ''",                              // '-' is standard output
        "nc --program ''",
        "metrics --gains=",
        "help bogus",
        "freq --amplitude 0",
        "freq --from 0",
        "freq --to 126",
        "freq --from 10 --to 1",
        "freq --points 0",
        "freq --passes 10",
        "margins --format xml",
        "vectors",
        "vectors pwm",
        "vectors pid run",
        "vectors pid --kp 3",
        "vectors pid --count -1",
        "vectors pid --format xml",
        "vectors run --seed 3",
        "vectors run --mode speed",
        "vectors harness --format c",
        "vectors harness --out -",
    };
    for (const char* args : cases) {
        SCOPED_TRACE(args);
        const Result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("vantrel-trace: "), std::string::npos);
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
}

TEST_F(TraceCli, FrequencyResponseRowsAndMargins) {
    const Result r = run("freq --mode speed --points 3");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = csv_cells(r.out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(first_lines(r.out, 1), "freq_hz,gain_db,phase_deg,distortion,twin_gain_db,twin_phase_deg\n");
    EXPECT_EQ(rows[1][0], "0.1");
    EXPECT_EQ(rows[3][0], "125");
    for (const auto& row : rows) EXPECT_EQ(row.size(), 6u);
    EXPECT_EQ(rows[3][2], "-180");  // the speed loop is real at the Nyquist frequency

    // Below 1 Hz the speed loop's phase never reaches -180 degrees: no phase crossover, no gain margin.
    const Result m = run("margins --mode speed --to 1 --format json");
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(m.out.rfind("{\"gain_margin_db\":null,\"phase_margin_deg\":", 0), 0u) << m.out;
    EXPECT_NE(m.out.find("\"twin_phase_crossover_hz\":null,"), std::string::npos) << m.out;
}

TEST_F(TraceCli, HelpOnEveryLevel) {
    for (const char* args : {"--help", "regulation --help", "metrics --help", "insight --help", "nc --help", "circle --help", "arc --help",
                             "image --help", "sweep --help", "freq --help", "margins --help", "help", "help arc", "help metrics",
                             "image --help nc", "help vectors"}) {
        SCOPED_TRACE(args);
        const Result r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: vantrel-trace", 0), 0u);
    }
    // The manual page's synopsis is the first line, set off by a blank one;
    // the page holds every command's help and the exit statuses as a list.
    EXPECT_EQ(run("--help").out.rfind("Usage: vantrel-trace COMMAND [OPTIONS] [--out FILE]\n\n", 0), 0u);
    const std::string all = run("help --all").out;
    EXPECT_EQ(all.rfind(run("--help").out, 0), 0u);
    EXPECT_NE(all.find("\nThe tune command:\n  Usage: vantrel-trace tune "), std::string::npos);
    EXPECT_NE(all.find("\nExit status:\n  0 "), std::string::npos);
}

TEST_F(TraceCli, VectorsAreOneRowEachAndASeedGivesTheSameBytes) {
    const Result pid = run("vectors pid --count 2 --seed 7");
    ASSERT_EQ(pid.status, 0) << pid.err;
    EXPECT_EQ(first_lines(pid.out, 1),
              "vector,w,x,y,ta,e,eSum,ePrev,kp,ki,kd,actual,w_after,x_after,y_after,ta_after,e_after,eSum_after,"
              "ePrev_after,kp_after,ki_after,kd_after,rules,case\n");
    EXPECT_EQ(line_count(run("vectors pid --count 0").out) + 2, line_count(pid.out));
    EXPECT_EQ(run("vectors pid --count 2 --seed 7").out, pid.out);
    EXPECT_NE(run("vectors pid --count 2 --seed 8").out, pid.out);
    EXPECT_EQ(run("vectors pid --format c").out.rfind("/* pid_vectors_check.c", 0), 0u);
    // A pass of the run per row of the regulation trace; both start with a row of the start.
    EXPECT_EQ(line_count(run("vectors run").out), line_count(run("regulation").out));
    EXPECT_EQ(line_count(run("vectors run --mode speed --passes 5").out), 1 + 1 + 5);
}

TEST_F(TraceCli, HarnessWritesItsThreeFilesIntoAFolder) {
    const auto folder = dir_ / "made" / "harness";
    const Result r = run("vectors harness --count 10 --out " + folder.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(read_file(folder / "pid_vectors_check.c").find("#define PID_VECTORS_COUNT 43L"), std::string::npos);
    EXPECT_NE(read_file(folder / "cascade_vectors_check.c").find("#define CASCADE_VECTORS_COUNT 195L"),
              std::string::npos);
    EXPECT_NE(read_file(folder / "README.md").find("the 195 passes of a position-mode regulation run"),
              std::string::npos);
    // A file where the folder would be: nothing is written, status 1.
    std::ofstream(dir_ / "plain") << "x";
    const Result refused = run("vectors harness --out " + (dir_ / "plain").string());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Cannot create"), std::string::npos) << refused.err;
}

TEST_F(TraceCli, OutFileIsWrittenWholeOrNotAtAll) {
    const auto file = dir_ / "trace.csv";
    Result r = run("nc --out " + file.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(file), run("nc").out);

    const auto missing = dir_ / "no-such-dir" / "trace.csv";
    r = run("nc --out " + missing.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(line_count(r.err), 1);
    EXPECT_EQ(r.err, "vantrel-trace: Cannot save " + missing.string() + ": No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));

    // A usage error after --out leaves nothing behind either.
    const auto unused = dir_ / "unused.csv";
    EXPECT_EQ(run("regulation --mode speed --out " + unused.string()).status, 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 3);  // stdout, stderr, trace.csv
}

TEST_F(TraceCli, ADashIsStandardOutput) {
    const Result r = run("nc --out -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, run("nc").out);
}

TEST_F(TraceCli, TheFirstFailedWriteEndsTheRun) {
    const auto full = dir_ / "full";
    if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "mknod needs privileges";
    // Three hundred million passes take most of a minute; stopping at the
    // first write takes a moment.
    for (const std::string& target : {"--out " + full.string(), "> " + full.string()}) {
        SCOPED_TRACE(target);
        const std::string err = (dir_ / "stderr").string();
        const std::string command = std::string(VANTREL_TRACE_PATH) +
                                    " regulation --mode speed --passes 300000000 " + target + " 2> " + err;
        const auto start = std::chrono::steady_clock::now();
        const int raw = std::system(command.c_str());
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(WEXITSTATUS(raw), 1);
        const std::string name = target[0] == '>' ? "standard output" : full.string();
        EXPECT_EQ(read_file(err), "vantrel-trace: Cannot save " + name + ": No space left on device\n");
        EXPECT_LT(took, std::chrono::seconds(10));
    }
}

// Starts the program with `args` through sh, with `shellPrefix` before it
// and no core dumps; its standard output and error go into files of `dir`.
pid_t start_trace(const std::vector<std::string>& words, const std::filesystem::path& dir,
                  const std::string& shellPrefix = "") {
    std::string line = "ulimit -c 0; " + shellPrefix + " exec " + std::string(VANTREL_TRACE_PATH);
    for (const std::string& word : words) line += " '" + word + "'";
    std::vector<std::string> args = {"/bin/sh", "-c", line};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, (dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, (dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int started = ::posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return started == 0 ? pid : -1;
}

// Waits until the process holds a file of `folder` open that is not its
// standard output or error: it is writing its --out file (named or not yet).
bool wait_until_writing_into(pid_t pid, const std::filesystem::path& folder) {
    const std::string prefix = std::filesystem::canonical(folder).string() + "/";
    for (int i = 0; i < 2000; ++i) {
        std::error_code error;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
            if (target.rfind(prefix, 0) == 0 && target.find("/stdout") == std::string::npos &&
                target.find("/stderr") == std::string::npos) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// However a run ends before its commit, the target stays as it was and no
// temporary file is left: the stop signals end it with 128 + the signal,
// the others (SIGKILL, a file-size limit) end it as they do.
TEST_F(TraceCli, AnInterruptedRunLeavesTheTargetAndNoTemporaryFile) {
    const auto target = dir_ / "out" / "trace.csv";
    std::filesystem::create_directories(target.parent_path());
    const struct {
        int signal;          // sent once the run writes; 0: none
        const char* prefix;  // shell words before the program
        int exitStatus;      // -1: ended by `signal`
        int endedBy;
    } cases[] = {
        {SIGINT, "", 128 + SIGINT, 0},    {SIGTERM, "", 128 + SIGTERM, 0}, {SIGHUP, "", 128 + SIGHUP, 0},
        {SIGKILL, "", -1, SIGKILL},       {SIGQUIT, "", -1, SIGQUIT},      {SIGUSR1, "", -1, SIGUSR1},
        {SIGALRM, "", -1, SIGALRM},       {0, "ulimit -f 64;", -1, SIGXFSZ},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal == 0 ? c.prefix : strsignal(c.signal));
        std::ofstream(target) << "before\n";
        const pid_t pid = start_trace({"regulation", "--mode", "speed", "--passes", "900000000", "--out", target.string()},
                                      dir_, c.prefix);
        ASSERT_GT(pid, 0);
        if (c.signal != 0) {
            EXPECT_TRUE(wait_until_writing_into(pid, target.parent_path()));
            ::kill(pid, c.signal);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (c.exitStatus >= 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exitStatus) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.endedBy) << status;
        }
        EXPECT_EQ(read_file(target), "before\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.parent_path()), {}), 1);
    }
}

// Every long command looks at a stop signal within moments, wherever it is
// (a long batch measured in this process, a single long run, the workers),
// says so in one line and writes nothing.
TEST_F(TraceCli, LongCommandsStopAtOnceAndWriteNothing) {
    const auto file = (dir_ / "never.csv").string();
    const struct {
        std::vector<std::string> args;
        int signal;
    } cases[] = {
        {{"tune", "--mode", "speed", "--passes", "20000000", "--kp", "0:40", "--ki", "0:40", "--jobs", "1"}, SIGINT},
        {{"tune", "--mode", "speed", "--passes", "20000000", "--kp", "0:40", "--ki", "0:40", "--engine", "scalar",
          "--jobs", "1"},
         SIGTERM},
        {{"tune", "--mode", "speed", "--passes", "2000000", "--kp", "0:100", "--ki", "0:100", "--jobs", "2"}, SIGINT},
        {{"sweep", "--mode", "speed", "--passes", "200000000", "--kp", "0:40", "--jobs", "1"}, SIGHUP},
        {{"metrics", "--mode", "speed", "--passes", "10000000000"}, SIGINT},
        {{"regulation", "--mode", "speed", "--passes", "10000000000"}, SIGTERM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", file});
        const pid_t pid = start_trace(args, dir_);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, c.signal);
        const auto sent = std::chrono::steady_clock::now();
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        // The runs take many seconds more; a stop seen only at their end would fail here.
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + c.signal) << status;
        EXPECT_FALSE(std::filesystem::exists(file));
        const std::string err = read_file(dir_ / "stderr");
        EXPECT_NE(err.find("vantrel-trace: " + c.args[0] + ": stopped"), std::string::npos) << err;
        EXPECT_NE(err.find(file + " not written\n"), std::string::npos) << err;
    }
}

// A name of one of the shell's descriptors continues the shell's output.
TEST_F(TraceCli, DescriptorNamesContinueTheShellsOutput) {
    const std::string f = (dir_ / "f").string();
    const std::string demo = run("nc --print-demo").out;
    const std::string metrics = run("metrics").out;
    const struct {
        const char* shell;  // $T is the program, $F the file
        std::string file;   // what the file holds after
    } cases[] = {
        {"{ echo HEADER; $T nc --print-demo --out /dev/stdout; echo FOOTER; } > $F", "HEADER\n" + demo + "FOOTER\n"},
        {"echo OLD > $F; { $T nc --print-demo --out /dev/stdout; echo FOOTER; } >> $F", "OLD\n" + demo + "FOOTER\n"},
        {"{ echo HEADER; $T metrics --out /dev/stderr; } > $F 2>&1", "HEADER\n" + metrics},
        {"{ echo HEADER >&3; $T metrics --out /dev/fd/3; } 3> $F", "HEADER\n" + metrics},
        {"$T metrics --out /dev/stdout | cat > $F", metrics},
        {"$T metrics --out /proc/self/fd/1 | cat > $F", metrics},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shell);
        const std::string command = std::string("T=") + VANTREL_TRACE_PATH + " F=" + f + " /bin/bash -c '" + c.shell + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(read_file(f), c.file);
    }
}

TEST_F(TraceCli, EchoedArgumentsAreQuotedEscapedAndCut) {
    const struct {
        std::string args;
        std::string echo;  // what the first line shows of the argument
    } cases[] = {
        {"regulation --mode \"$(printf 'pos\\nition\\033[31m')\"", "not 'pos\\nition\\x1b[31m'\n"},
        {"regulation --passes 1 --kp \"$(printf '%*s' 100000 '' | tr ' ' a)\"",
         "--kp '" + std::string(60, 'a') + "...' is not a number"},
        {"\"$(printf 'bo\\tgus')\"", "unknown command 'bo\\tgus'\n"},
        {"regulation --mode \"$(printf 'a\\233b\\303\\251')\"", "not 'a\\x9bb\xc3\xa9'\n"},  // a lone byte; é
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args);
        const std::string first = first_lines(r.err, 1);
        EXPECT_NE(first.find(c.echo), std::string::npos) << first;
        EXPECT_LT(first.size(), 200u);
        EXPECT_EQ(r.err.find('\033'), std::string::npos);
        EXPECT_EQ(r.err.find('\x9b'), std::string::npos);
    }
}

TEST_F(TraceCli, FailuresAndIgnoredOptionsAreSaid) {
    // An end point the arc never meets: the whole trace, a reason, status 3.
    Result r = run("arc --ex 100 --ey 100");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(line_count(r.out), 978);
    EXPECT_EQ(r.err,
              "vantrel-trace: the end point (100, 100) was never met; the trace stopped at (915, 393) after 976 "
              "passes\n");
    EXPECT_EQ(run("arc").status, 0);

    r = run("regulation --passes 1 --w 5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "vantrel-trace: warning: --w is the speed to regulate; position mode ignores it\n");
}

TEST_F(TraceCli, ImageOptionsInAnyOrderAndTheFormatFromTheName) {
    const struct {
        std::string args;
        std::string file;
        std::string magic;
    } cases[] = {
        {"image --out " + (dir_ / "a.png").string() + " nc", "a.png", "\x89PNG"},
        {"image circle --out=" + (dir_ / "b.jpg").string(), "b.jpg", "\xff\xd8\xff"},
        {"image --out " + (dir_ / "c").string() + " circle", "c", "\x89PNG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        // Without a runtime directory Qt would complain on standard error.
        const Result r = run(c.args, "env -u XDG_RUNTIME_DIR");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_file(dir_ / c.file).substr(0, c.magic.size()), c.magic);
    }
}

}  // namespace
