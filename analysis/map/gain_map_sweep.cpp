#include "analysis/map/gain_map_sweep.h"

#include <unistd.h>

#include <QProcess>
#include <QTimer>

namespace {

// Milliseconds of lines per turn of the message loop.
constexpr qint64 kTurnMs = 8;

}  // namespace

GainMapSweep::GainMapSweep(QObject* owner) : owner_(owner) {}

GainMapSweep::~GainMapSweep() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->disconnect();
        process_->terminate();  // the sweep stops cleanly on SIGTERM
        if (!process_->waitForFinished(2000)) process_->kill();
    }
}

bool GainMapSweep::running() const { return process_ && !told_; }

void GainMapSweep::drop() {
    if (!process_) return;
    QProcess* old = process_;
    process_ = nullptr;
    old->disconnect();
    if (old->state() == QProcess::NotRunning) {
        old->deleteLater();
        return;
    }
    // It goes when it has ended; the window does not wait for it.
    QObject::connect(old, &QProcess::finished, old, &QObject::deleteLater);
    old->terminate();
}

void GainMapSweep::start(const QString& program, const QStringList& arguments, bool lengthy) {
    drop();
    ++generation_;
    pending_.clear();
    handed_ = 0;
    turnQueued_ = false;
    ended_ = false;
    told_ = false;
    failure_.clear();
    process_ = new QProcess(owner_);
    process_->setProgram(program);
    process_->setArguments(arguments);
    if (lengthy) process_->setChildProcessModifier([] { static_cast<void>(::nice(10)); });
    QObject::connect(process_, &QProcess::readyReadStandardOutput, process_, [this] { read_lines(); });
    QObject::connect(process_, &QProcess::finished, process_, [this](int code, QProcess::ExitStatus status) {
        if (status == QProcess::CrashExit || code != 0) {
            const QStringList lines =
                QString::fromLocal8Bit(process_->readAllStandardError()).split('\n', Qt::SkipEmptyParts);
            failure_ = lines.isEmpty() ? QString("The sweep ended early (exit %1).").arg(code) : lines.last();
        }
        ended_ = true;
        read_lines();
    });
    QObject::connect(process_, &QProcess::errorOccurred, process_, [this, program](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        ended_ = true;
        failure_ = "Cannot start " + program + ": " + process_->errorString();
        hand_over();
    });
    clock_.start();
    process_->start();
}

void GainMapSweep::cancel() {
    if (process_ && process_->state() != QProcess::NotRunning) process_->terminate();
}

void GainMapSweep::read_lines() {
    const QByteArray data = process_->readAllStandardOutput();
    pending_.append(data.constData(), static_cast<std::size_t>(data.size()));
    if (!turnQueued_) hand_over();
}

void GainMapSweep::hand_over() {
    turnQueued_ = false;
    QElapsedTimer turn;
    turn.start();
    for (std::size_t end; (end = pending_.find('\n', handed_)) != std::string::npos;) {
        const std::size_t start = handed_;
        handed_ = end + 1;
        if (onLine) onLine(pending_.substr(start, end - start));
        if (turn.elapsed() >= kTurnMs && pending_.find('\n', handed_) != std::string::npos) {
            // The rest in a later turn, after what else waits (a paint, a key).
            turnQueued_ = true;
            QTimer::singleShot(0, process_, [this, generation = generation_] {
                if (generation == generation_) hand_over();
            });
            break;
        }
    }
    if (handed_ >= 64 * 1024) {
        pending_.erase(0, handed_);
        handed_ = 0;
    }
    if (!turnQueued_ && ended_ && !told_) {
        told_ = true;
        if (onEnd) onEnd(failure_);
    }
}
