// The one file writer against what users and attackers put under a name:
// device and FIFO stand-ins, planted links, long names, protected files.
#include "toolkit/sys/output_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string save(const fs::path& path, const std::string& text) {
    OutputFile file(path.string());
    std::string error;
    if (file.open(error) && file.write(text.data(), text.size())) file.commit(error);
    return error.empty() ? file.error() : error;
}

// Runs `check` in a child process as an unprivileged user (when the tests
// run as root) and returns its exit status.
int as_other_user(const std::function<int()>& check) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vantrel-output-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Names in the folder besides `expected`: nothing temporary stays.
    int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir_), {})); }

    fs::path dir_;
};

TEST_F(OutputFileTest, RegularFilesAppearWholeUnderTheirName) {
    const struct {
        const char* name;
        std::string existing;  // empty: the name is free
    } cases[] = {
        {"new.csv", ""},
        {"old.csv", "older and longer contents\n"},
        {"n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.existing.empty()) write_file(dir_ / c.name, c.existing);
        EXPECT_EQ(save(dir_ / c.name, "a,b\n1,2\n"), "");
        EXPECT_EQ(read_file(dir_ / c.name), "a,b\n1,2\n");
    }
    EXPECT_EQ(entries(), 3);
}

TEST_F(OutputFileTest, SpecialFilesAreWrittenInPlaceNeverReplaced) {
    const fs::path node = dir_ / "null";
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "mknod needs privileges";
    EXPECT_EQ(save(node, "into the device\n"), "");
    struct stat st {};
    ASSERT_EQ(::stat(node.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A full device stand-in: the first write fails with the system's reason.
    const fs::path full = dir_ / "full";
    ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    EXPECT_EQ(save(full, "x"), "Cannot save " + full.string() + ": No space left on device");
    ASSERT_EQ(::stat(full.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(entries(), 2);
}

TEST_F(OutputFileTest, AFifoIsWrittenToItsReader) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The reader is there first; the text fits the pipe, so nothing blocks.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string text(4000, 'x');
    EXPECT_EQ(save(fifo, text), "");
    std::string received(8000, '\0');
    const ssize_t length = ::read(reader, received.data(), received.size());
    ::close(reader);
    received.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    EXPECT_EQ(received, text);
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(entries(), 1);
}

// Names of this process' descriptors continue what the descriptor leads to,
// at its offset; a file there is neither replaced nor reopened at its start.
TEST_F(OutputFileTest, DescriptorNamesWriteThroughTheDescriptor) {
    const std::string pid = std::to_string(::getpid());
    const struct {
        const char* folder;  // the descriptor's number follows
        int flags;           // of the file the descriptor holds; 0 for a pipe
    } cases[] = {
        {"/dev/fd/", O_WRONLY | O_CREAT | O_TRUNC},
        {"/proc/self/fd/", O_WRONLY | O_CREAT | O_APPEND},
        {"/proc/thread-self/fd/", O_WRONLY | O_CREAT | O_TRUNC},
        {nullptr, O_RDWR | O_CREAT | O_TRUNC},  // /proc/PID/fd/ of this process
        {"/dev/fd/", 0},
    };
    for (const auto& c : cases) {
        const std::string folder = c.folder ? c.folder : "/proc/" + pid + "/fd/";
        SCOPED_TRACE(folder + (c.flags == 0 ? " pipe" : ""));
        int fds[2] = {-1, -1};
        if (c.flags == 0) {
            ASSERT_EQ(::pipe(fds), 0);
        } else {
            fs::remove(dir_ / "shell.log");
            fds[1] = ::open((dir_ / "shell.log").c_str(), c.flags, 0644);
            ASSERT_GE(fds[1], 0);
            ASSERT_EQ(::write(fds[1], "HEADER\n", 7), 7);
        }
        EXPECT_EQ(save(folder + std::to_string(fds[1]), "data\n"), "");
        EXPECT_EQ(::write(fds[1], "FOOTER\n", 7), 7);
        ::close(fds[1]);
        if (c.flags == 0) {
            char got[64] = {};
            EXPECT_EQ(std::string(got, static_cast<std::size_t>(::read(fds[0], got, sizeof got))), "data\nFOOTER\n");
            ::close(fds[0]);
        } else {
            EXPECT_EQ(read_file(dir_ / "shell.log"), "HEADER\ndata\nFOOTER\n");
        }
    }
    EXPECT_EQ(save("/dev/fd/999", "x"), "Cannot save /dev/fd/999: Bad file descriptor");
    EXPECT_EQ(entries(), 1);  // shell.log
}

// Until the commit the file has no name: nothing any end of the process
// could leave behind.
TEST_F(OutputFileTest, AnOutputInProgressHasNoNameInTheFolder) {
    const struct {
        const char* name;
        const char* existing;  // null: the name is free
        int entriesMeanwhile;
    } cases[] = {{"new.csv", nullptr, 0}, {"old.csv", "old", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.existing) write_file(dir_ / c.name, c.existing);
        OutputFile file((dir_ / c.name).string());
        std::string error;
        ASSERT_TRUE(file.open(error));
        ASSERT_TRUE(file.write("x", 1));
        EXPECT_EQ(entries(), c.entriesMeanwhile);
        ASSERT_TRUE(file.commit(error)) << error;
        EXPECT_EQ(read_file(dir_ / c.name), "x");
    }
    EXPECT_EQ(entries(), 2);
}

TEST_F(OutputFileTest, LinksAreNeverFollowedByTheTemporaryFileButAreAtTheFinalName) {
    // A link planted where a temporary file might go leaves its victim alone.
    const fs::path victim = dir_ / "victim";
    write_file(victim, "precious");
    for (const std::string& planted : {"out.csv.tmp." + std::to_string(::getpid()), std::string("out.csv.tmp")}) {
        fs::create_symlink(victim, dir_ / planted);
    }
    EXPECT_EQ(save(dir_ / "out.csv", "data"), "");
    EXPECT_EQ(read_file(victim), "precious");
    EXPECT_EQ(read_file(dir_ / "out.csv"), "data");

    // A link at the final name: its target is replaced, the link stays.
    fs::create_directory(dir_ / "sub");
    fs::create_symlink("sub/real.csv", dir_ / "link.csv");
    EXPECT_EQ(save(dir_ / "link.csv", "through the link"), "");
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
    EXPECT_EQ(read_file(dir_ / "sub" / "real.csv"), "through the link");
    EXPECT_EQ(entries(), 6);
}

TEST_F(OutputFileTest, NamesUpToTheLimitWork) {
    for (const std::size_t length : {252u, 255u}) {
        SCOPED_TRACE(length);
        const fs::path path = dir_ / std::string(length, 'n');
        EXPECT_EQ(save(path, "long"), "");
        EXPECT_EQ(read_file(path), "long");
    }
    EXPECT_NE(save(dir_ / std::string(256, 'n'), "x").find("File name too long"), std::string::npos);
}

TEST_F(OutputFileTest, ModeAndOwnerOfAReplacedFileAreKept) {
    // New files get the umask's mode.
    struct stat st {};
    const mode_t mask = ::umask(027);
    EXPECT_EQ(save(dir_ / "fresh.csv", "x"), "");
    ::umask(mask);
    ASSERT_EQ(::stat((dir_ / "fresh.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    if (::geteuid() != 0) GTEST_SKIP() << "handing a file to another owner needs root";
    const fs::path file = dir_ / "kept.csv";
    write_file(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    EXPECT_EQ(save(file, "new"), "");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(read_file(file), "new");
}

TEST_F(OutputFileTest, AFileTheUserMayNotWriteIsRefusedWithTheSystemsReason) {
    const fs::path file = dir_ / "protected.csv";
    write_file(file, "theirs");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);  // the folder would allow a rename
    const std::string expected = "Cannot save " + file.string() + ": Permission denied";
    EXPECT_EQ(as_other_user([&] { return save(file, "mine") == expected ? 0 : 1; }), 0);
    EXPECT_EQ(read_file(file), "theirs");
    EXPECT_EQ(entries(), 1);
}

TEST_F(OutputFileTest, DiscardedAndFailedOutputsLeaveNothing) {
    {
        OutputFile file((dir_ / "dropped.csv").string());
        std::string error;
        ASSERT_TRUE(file.open(error));
        ASSERT_TRUE(file.write("x", 1));
    }
    EXPECT_EQ(save(dir_ / "missing" / "x.csv", "x"),
              "Cannot save " + (dir_ / "missing" / "x.csv").string() + ": No such file or directory");
    EXPECT_EQ(save(dir_, "x"), "Cannot save " + dir_.string() + ": Is a directory");
    EXPECT_EQ(entries(), 0);
}

}  // namespace
