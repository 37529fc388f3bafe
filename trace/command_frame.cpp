#include "trace/command_frame.h"

#include "core/measure/text_echo.h"

#include <iostream>

namespace {

StopFlag stopSignal{0};

// A lock-free atomic store: safe in a handler, and seen by the worker threads.
extern "C" void on_stop_signal(int signal) { stopSignal.store(signal, std::memory_order_relaxed); }

// Without SA_RESTART, so that a blocked read of a worker's pipe returns and
// the stop is seen at once. A signal the caller ignores stays ignored.
void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

int say(const std::string& line, int status) {
    std::cerr << "vantrel-trace: " << echo_printable(line) << "\n";
    return status;
}

}  // namespace

const StopFlag& command_stop() { return stopSignal; }

int run_in_frame(const std::string& name, const std::string& outPath, const std::function<int(TraceOutput&)>& body) {
    catch_stop_signals();
    const std::string path = outPath == "-" ? std::string() : outPath;
    const auto stopped = [&](const std::string& detail) {
        return say(name + ": stopped" + detail + (path.empty() ? "" : "; " + path + " not written"), 128 + stopSignal.load());
    };
    TraceOutput out(path, &stopSignal);  // never committed, it leaves no file behind
    std::string error;
    if (!out.open(error)) return say(error, 1);
    try {
        std::string incomplete;
        int status = 0;
        try {
            status = body(out);
        } catch (const TraceIncomplete& e) {
            incomplete = e.message;
            status = 3;
        }
        if (stop_asked(&stopSignal)) return stopped("");  // a stop in the last moments too
        if (status != 0 && status != 3) return status;
        if (!out.commit(error)) return say(error, 1);
        return status == 3 ? say(incomplete, 3) : 0;
    } catch (const CommandStopped& e) {
        return stopped(e.detail);
    } catch (const TraceOutputError& e) {
        return say(e.message, 1);
    }
}
