#pragma once
// The panel's computing off the window's thread: a gain map, a search,
// whatever measures many runs. A job runs on a thread of its own (which may
// start the runner's workers, core/batch/chunk_runner.h), hands what it
// makes to the window's thread as numbers through the message loop, and is
// stopped through its stop flag. Starting a job drops the one still running;
// a job cancelled or dropped tells nothing more from that moment on, and its
// thread goes once it has seen the stop (the engine's runs look at it every
// block of passes), without the window waiting for it.
//
// What the jobs post is handed over in turns of a few milliseconds of the
// message loop, so that the window paints and takes input between them
// however fast the posts come.
//
// A lengthy job runs below the window's priority: its thread takes a nice
// value of 10, which the runner's workers it starts inherit, so the window
// and a running regulation keep their pace while it computes. A short one
// runs at the window's priority, so that it is done soon however busy the
// machine is.
#include "core/engine/stop_flag.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

class BackgroundJob {
public:
    // What the job's thread is given: the stop to heed, and post() to hand
    // something to the window's thread, where the posts run in order unless
    // the job has been cancelled or dropped by then.
    class Context {
    public:
        const StopFlag& stop() const { return stop_; }
        void post(std::function<void()> deliver) const;

    private:
        friend class BackgroundJob;
        Context(BackgroundJob& job, unsigned generation, const StopFlag& stop)
            : job_(job), generation_(generation), stop_(stop) {}
        BackgroundJob& job_;
        unsigned generation_;
        const StopFlag& stop_;
    };
    using Work = std::function<void(Context&)>;
    // On the window's thread once the work has returned, after its posts:
    // "" when it returned, otherwise what it threw.
    using End = std::function<void(const std::string& failure)>;

    BackgroundJob();
    ~BackgroundJob();  // stops every job still going and waits for their threads
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void start(Work work, bool lengthy, End end);
    // Stops the running job: nothing more of it is told, not even its end.
    void cancel();
    bool running() const { return running_; }
    double seconds() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }
    // Threads of dropped jobs not yet gone (for tests).
    std::size_t threads() const;

private:
    struct Thread;
    struct Mailbox;
    void reap();
    void hand_over();  // a turn of handing posts over, on the window's thread

    QObject* receiver_;  // the turns' context on the window's thread
    std::unique_ptr<Mailbox> mailbox_;
    std::vector<std::unique_ptr<Thread>> threads_;  // the running job's last, if one runs
    unsigned generation_ = 0;  // of the job whose posts are told
    bool running_ = false;
    QElapsedTimer clock_;
};
