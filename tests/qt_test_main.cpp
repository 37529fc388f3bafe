// Test entry for the suites that drive real widgets: one QApplication for the
// whole program, on the offscreen platform unless the caller chose another.
#include <QApplication>
#include <QDir>
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
