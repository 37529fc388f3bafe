// The program entry: exit statuses, the version and the no-display message.
#include "tests/toolkit/toolkit_test_support.h"
#include "toolkit/app/exception.h"
#include "window/program.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

namespace {

TEST(Program, StartUpFailuresShowTheirErrorAndEndWithStatusOne) {
    struct Case {
        const char* name;
        std::function<void()> start;
        int status;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"window closed", [] {}, 0, {}},
        {"toolkit error", [] { throw Exception("Cannot create the window"); }, 1, {"Cannot create the window"}},
        {"anything else", [] { throw 42; }, 1, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorBoxCapture errors;
        EXPECT_EQ(c.status, run_guarded(c.start));
        std::vector<std::string> shown;
        for (const ShownError& e : errors.shown) shown.push_back(e.message);
        EXPECT_EQ(c.shown, shown);
    }
}

TEST(Program, VersionAndHelpArePrintedWithoutStartingTheWindow) {
    struct Case {
        const char* argument;
        std::string starts;
    };
    const Case cases[] = {
        {"--version", std::string("vantrel ") + program_version() + "\n"},
        {"--help", "Usage: vantrel [--help] [--version] [Qt's options]\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        std::ostringstream out;
        char name[] = "vantrel";
        std::string argument = c.argument;
        char* argv[] = {name, argument.data(), nullptr};
        EXPECT_EQ(0, run_program(2, argv, out));
        EXPECT_EQ(c.starts, out.str().substr(0, c.starts.size()));
    }
}

// The real program, started without any display configured, names itself as
// it was started: from the build tree or installed, found on the PATH.
TEST(Program, WithoutADisplayTheProgramSaysSoAndEndsWithStatusOne) {
    const QString path = VANTREL_PROGRAM_PATH;
    const QString folder = path.left(path.lastIndexOf('/'));
    const struct {
        QString started;
        std::string named;
    } cases[] = {{path, VANTREL_PROGRAM_PATH}, {"vantrel", "vantrel"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        env.insert("PATH", folder + ":" + env.value("PATH"));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start("/bin/sh", {"-c", "exec \"$0\"", c.started});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(QProcess::NormalExit, program.exitStatus());
        EXPECT_EQ(1, program.exitCode());
        EXPECT_EQ("vantrel: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                  "run it under a virtual display: xvfb-run -a " + c.named + "\n",
                  program.readAllStandardError().toStdString());
        EXPECT_EQ("", program.readAllStandardOutput().toStdString());
    }
}

}  // namespace
