#include "analysis/gain_map_sweep.h"

#include <unistd.h>

#include <QProcess>

GainMapSweep::GainMapSweep(QObject* owner) : owner_(owner) {}

GainMapSweep::~GainMapSweep() {
    if (running()) {
        process_->disconnect();
        process_->terminate();  // the sweep stops cleanly on SIGTERM
        if (!process_->waitForFinished(2000)) process_->kill();
    }
}

bool GainMapSweep::running() const { return process_ && process_->state() != QProcess::NotRunning; }

void GainMapSweep::start(const QString& program, const QStringList& arguments) {
    if (running()) return;
    delete process_;
    pending_.clear();
    process_ = new QProcess(owner_);
    process_->setProgram(program);
    process_->setArguments(arguments);
    // Below the window's priority, so the window and a running regulation keep their pace.
    process_->setChildProcessModifier([] { static_cast<void>(::nice(10)); });
    QObject::connect(process_, &QProcess::readyReadStandardOutput, process_, [this] { read_lines(); });
    QObject::connect(process_, &QProcess::finished, process_, [this](int code, QProcess::ExitStatus status) {
        read_lines();
        QString failure;
        if (status == QProcess::CrashExit || code != 0) {
            const QStringList lines =
                QString::fromLocal8Bit(process_->readAllStandardError()).split('\n', Qt::SkipEmptyParts);
            failure = lines.isEmpty() ? QString("The sweep ended early (exit %1).").arg(code) : lines.last();
        }
        if (onEnd) onEnd(failure);
    });
    QObject::connect(process_, &QProcess::errorOccurred, process_, [this, program](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        if (onEnd) onEnd("Cannot start " + program + ": " + process_->errorString());
    });
    clock_.start();
    process_->start();
}

void GainMapSweep::cancel() {
    if (running()) process_->terminate();
}

void GainMapSweep::read_lines() {
    const QByteArray data = process_->readAllStandardOutput();
    pending_.append(data.constData(), static_cast<std::size_t>(data.size()));
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
        if (onLine) onLine(pending_.substr(start, end - start));
    }
    pending_.erase(0, start);
}
