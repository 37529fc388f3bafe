// Test entry for the suites that drive real widgets: one QApplication for the
// whole program, on the offscreen platform unless the caller chose another.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void quiet_known_noise(QtMsgType type, const QMessageLogContext&, const QString& message) {
    // The offscreen platform says these whenever a message box or a menu shows.
    for (const char* noise : {"propagateSizeHints", "does not support raise()", "does not support grabbing"}) {
        if (message.contains(QLatin1String(noise))) return;
    }
    if (type == QtFatalMsg) std::abort();
    fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        std::string dir = QDir::tempPath().toStdString() + "/vantrel-test-runtime";
        QDir().mkpath(QString::fromStdString(dir));
        QFile::setPermissions(QString::fromStdString(dir),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir.c_str());
    }
    // Offscreen, one screen as the scripts' virtual display has it (the
    // platform's own is 800 x 800): the window beside the panel fits on it.
    QTemporaryDir screens;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QFile config(screens.filePath("screens.json"));
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"screens": [{"name": "offscreen", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
                         R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
        }
    }
    qInstallMessageHandler(quiet_known_noise);
    // The settings the program keeps go to a folder of this run, never the user's.
    QTemporaryDir settings;
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, settings.path());
        QSettings::setPath(format, QSettings::SystemScope, settings.path());
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
