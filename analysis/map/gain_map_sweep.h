#pragma once
// The gain map's child process: `vantrel-trace sweep` with the arguments
// given, a lengthy one at a lower priority than the window, its table's lines handed over
// as they come through the message loop, and its end told with the last
// line it wrote on standard error. Lines are handed over in turns of a few
// milliseconds each, so that the window paints between them however fast
// the rows come.
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

    // A sweep still running is dropped first: asked to stop, and no line or
    // end of it is told any more. A lengthy one runs at a lower priority than
    // the window, so the window and a running regulation keep their pace; a
    // short one at the window's, so that it is done soon however busy the
    // machine is.
    void start(const QString& program, const QStringList& arguments, bool lengthy = true);
    // Asks the sweep to stop; onEnd follows.
    void cancel();
    bool running() const;
    double seconds() const { return double(clock_.elapsed()) / 1000.0; }

private:
    void read_lines();
    void hand_over();
    void drop();

    QObject* owner_;
    QProcess* process_ = nullptr;
    QElapsedTimer clock_;
    std::string pending_;        // lines not yet handed over, and a line not yet complete
    std::size_t handed_ = 0;     // the part of pending_ handed over
    bool turnQueued_ = false;    // a turn of handing over waits in the message loop
    bool ended_ = false;         // the process ended; onEnd once every line is handed over
    bool told_ = false;          // onEnd ran
    QString failure_;
    unsigned generation_ = 0;    // of the process the queued turn belongs to
};
