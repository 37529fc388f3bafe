// The command-line front end as a user runs it: output, errors, exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

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

    Result run(const std::string& args) {
        const auto out = dir_ / "stdout";
        const auto err = dir_ / "stderr";
        const std::string command =
            std::string(VANTREL_TRACE_PATH) + " " + args + " > " + out.string() + " 2> " + err.string();
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

TEST_F(TraceCli, NcTraceEndsWithTheFirstNonZeroResult) {
    const Result r = run("nc");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(first_lines(r.out, 4), "call,result,X,Y,Z\n1,0,0,0,0\n2,0,0,1,0\n3,0,1,3,0\n");
    EXPECT_EQ(line_count(r.out), 1 + 196);
    EXPECT_NE(r.out.find("\n195,0,0,-1,0\n196,1,0,-1,0\n"), std::string::npos);
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
        "metrics --mode speed",
        "circle --r",
        "image",
        "image square --out x.png",
        "image nc",
    };
    for (const char* args : cases) {
        SCOPED_TRACE(args);
        const Result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("vantrel-trace: "), std::string::npos);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
}

TEST_F(TraceCli, HelpOnEveryLevel) {
    for (const char* args : {"--help", "regulation --help", "metrics --help", "nc --help", "circle --help", "arc --help", "image --help"}) {
        SCOPED_TRACE(args);
        const Result r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: vantrel-trace", 0), 0u);
    }
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
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));

    // A usage error after --out leaves nothing behind either.
    const auto unused = dir_ / "unused.csv";
    EXPECT_EQ(run("regulation --mode speed --out " + unused.string()).status, 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 3);  // stdout, stderr, trace.csv
}

}  // namespace
