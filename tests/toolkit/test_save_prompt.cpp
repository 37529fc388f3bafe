// The real save prompt over a folder holding FIFOs: listing them must not
// open them (a reader would block for ever, as on /proc/kmsg).
#include "toolkit/sys/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

TEST(SavePrompt, ListingAFolderNeverOpensTheFilesInIt) {
    char name[] = "/tmp/vantrel-prompt-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const std::string dir = name;
    const std::string fifos[] = {dir + "/pipe", dir + "/trace.csv"};
    for (const std::string& fifo : fifos) ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Files whose name says nothing of their kind: a type guess reads them.
    for (const char* file : {"data", "notes"}) std::ofstream(dir + "/" + file) << "\x89 some bytes\n";

    // Every open of a listed file shows as an event with its name.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_OPEN | IN_ACCESS), 0);
    std::set<std::string> opened;
    auto collect = [&] {
        alignas(inotify_event) char buffer[4096];
        ssize_t length = 0;
        while ((length = ::read(watch, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0) opened.insert(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    };

    int ticks = 0;
    bool sawDialog = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        sawDialog = true;
        collect();
        if (++ticks == 5) {
            // Typing the folder makes the name box complete from it too.
            if (auto* edit = dialog->findChild<QLineEdit*>()) QTest::keyClicks(edit, QString::fromStdString(dir + "/"));
        }
        if (ticks < 40) return;
        // A FIFO opens for writing without blocking only while someone has
        // it open for reading (even blocked in open); our close ends that.
        for (const std::string& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                opened.insert(fifo + " (blocked reader)");
                ::close(fd);
            }
        }
        dialog->reject();
    });
    poll.start(20);
    const std::string chosen = PromptSaveFileName("Save", "PNG files (*.png);;All files (*)", dir + "/x.png");
    poll.stop();
    ::close(watch);

    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(chosen, "");
    EXPECT_EQ(opened, std::set<std::string>{});
    std::filesystem::remove_all(dir);
}

}  // namespace
