#pragma once
// The gain map's child process: `vantrel-trace sweep` with the arguments
// given, at a lower priority than the window, its table's lines handed over
// as they come through the message loop, and its end told with the last
// line it wrote on standard error.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class QObject;
class QProcess;

class GainMapSweep {
public:
    explicit GainMapSweep(QObject* owner);
    ~GainMapSweep();  // stops a running sweep (SIGTERM, then SIGKILL after 2 s)
    GainMapSweep(const GainMapSweep&) = delete;
    GainMapSweep& operator=(const GainMapSweep&) = delete;

    // Each complete line of the table, without its line end.
    std::function<void(const std::string& line)> onLine;
    // After the lines read so far: "" for a clean end (exit 0), otherwise why
    // it ended (its last error line, or how it ended).
    std::function<void(const QString& failure)> onEnd;

    void start(const QString& program, const QStringList& arguments);
    // Asks the sweep to stop; onEnd follows.
    void cancel();
    bool running() const;
    double seconds() const { return double(clock_.elapsed()) / 1000.0; }

private:
    void read_lines();

    QObject* owner_;
    QProcess* process_ = nullptr;
    QElapsedTimer clock_;
    std::string pending_;  // a line not yet complete
};
