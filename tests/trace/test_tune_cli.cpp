// `vantrel-trace tune` as a user runs it: the rows, the statuses, the workers.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

class TuneCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("vantrel-tune-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    Result run(const std::string& args) {
        const auto out = dir_ / "stdout";
        const auto err = dir_ / "stderr";
        const std::string command =
            std::string(VANTREL_TRACE_PATH) + " " + args + " > " + out.string() + " 2> " + err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }

    std::filesystem::path dir_;
};

// 51 x 41 = 2091 position runs: measured whole, in one batch the workers share.
const char kBox[] = "tune --kp 100:300:4 --ki 0:200:5 --max pwm_limit_passes=0 --top 2";

TEST_F(TuneCli, RowsAreWhatMetricsPrintsAndTheSameForEveryJobCount) {
    const Result one = run(std::string(kBox) + " --jobs 1");
    ASSERT_EQ(one.status, 0) << one.err;
    std::istringstream lines(one.out);
    std::string header, best, second, more;
    std::getline(lines, header);
    std::getline(lines, best);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, more));
    EXPECT_NE(best, second);

    // The best row is the metrics of its gains, and no better set of the box fits the limit.
    std::istringstream cells(best);
    std::string mode, kp, ki;
    std::getline(cells, mode, ',');
    std::getline(cells, kp, ',');
    std::getline(cells, ki, ',');
    const Result metrics = run("metrics --kp " + kp + " --ki " + ki);
    EXPECT_EQ(metrics.out, header + "\n" + best + "\n");

    for (const char* jobs : {" --jobs 2", " --jobs 3", " --jobs 2 --engine scalar"}) {
        const Result many = run(std::string(kBox) + jobs);
        EXPECT_EQ(many.status, 0) << jobs;
        EXPECT_EQ(many.out, one.out) << jobs;
    }

    // The stream ends with the same rows, after the feasible sets it found
    // (every one, in a box this small), and says the answer is exact.
    const Result stream = run(std::string(kBox) + " --stream --jobs 2");
    EXPECT_EQ(stream.status, 0);
    EXPECT_EQ(stream.out.rfind("kind," + header + "\n", 0), 0u);
    EXPECT_NE(stream.out.find("\nset," + second + "\n"), std::string::npos);
    EXPECT_NE(stream.out.find("\nanswer,exact,2091,2091\nbest," + best + "\nbest," + second + "\n"), std::string::npos);
    EXPECT_NE(one.err.find("tune: exact: every set measured (2091 sets)"), std::string::npos) << one.err;

    // With a tenth of the work it needs, the box is searched, and the answer says so.
    const Result part = run(std::string(kBox) + " --budget " + std::to_string(2091 * (195 + 100) / 10));
    EXPECT_EQ(part.status, 0);
    unsigned long measured = 0;
    EXPECT_EQ(std::sscanf(part.err.c_str(), "vantrel-trace: tune: best found: %lu of 2091 sets measured", &measured), 1)
        << part.err;
    EXPECT_GT(measured, 100u);
    EXPECT_LE(measured, 209u);
}

TEST_F(TuneCli, NoFeasibleSetExitsWith4AndNamesTheConstraint) {
    const Result r = run("tune --kp 100:200:50 --ki 0:60:30 --max iae=10 --max pwm_limit_passes=1000 --out " +
                         (dir_ / "best.csv").string());
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "best.csv"));
    EXPECT_NE(r.err.find("no feasible set: every one of the 9 sets measured; iae <= 10 ruled out the most: 9"),
              std::string::npos)
        << r.err;
    // A lower limit is named as one.
    const Result low = run("tune --kp 100:200:50 --ki 0:60:30 --min twin_gain_margin_db=100");
    EXPECT_EQ(low.status, 4);
    EXPECT_NE(low.err.find("twin_gain_margin_db >= 100 ruled out the most: 9"), std::string::npos) << low.err;
    // Not every set measured: the message says so.
    const Result part = run("tune --kp 100:200 --ki 0:60 --max iae=10 --budget 29500");
    EXPECT_EQ(part.status, 4);
    EXPECT_NE(part.err.find(" measured of 6161 sets; iae <= 10 ruled out the most"), std::string::npos) << part.err;
    EXPECT_EQ(part.err.rfind("vantrel-trace: tune: no feasible set found among the ", 0), 0u) << part.err;
}

TEST_F(TuneCli, UsageErrorsAreOneLineAndStatus2) {
    const struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"--objective speed", "--objective 'speed' is not one of passes,"},
        {"--max iae", "--max needs COLUMN=VALUE"},
        {"--max kp=3", "--max 'kp' is not one of"},
        {"--max iae=lots", "the value is not a whole or decimal number"},
        {"--max iae=0x10", "the value is not a whole or decimal number"},
        {"--max iae=1e3", "the value is not a whole or decimal number"},
        {"--out ''", "option --out needs a file name ('-' is standard output)"},
        // A magnitude is never below 0; for a negative w the user means the distance.
        {"--max peak=-10", "--max 'peak=-10': peak counts by its magnitude, so its limit is 0 or more"},
        {"--w 10:20", "--w takes one value"},
        {"--kp 300:100", "--kp '300:100'"},
        {"--top 0", "option --top needs a whole number from 1"},
        {"--mode speed", "speed mode needs --passes N"},
        {"--no-wraps=1", "takes no value"},
        {"--budget 0", "--budget '0': give the passes to spend"},
        {"--budget 1.5e3x", "--budget '1.5e3x'"},
        {"--min twin_gain_margin_db", "--min needs COLUMN=VALUE"},
        {"--objective twin_phase_margin_deg", "is better higher; give it a lower limit instead"},
    };
    for (const auto& c : cases) {
        const Result r = run(std::string("tune ") + c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.args << ": " << r.err;
    }
}

}  // namespace
