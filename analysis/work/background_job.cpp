#include "analysis/work/background_job.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <exception>
#include <thread>

// One job's thread, and what it shares with the window's thread.
struct BackgroundJob::Thread {
    StopFlag stop{0};
    std::atomic<bool> done{false};  // the work has returned and its end is posted
    std::thread thread;
};

void BackgroundJob::Context::post(std::function<void()> deliver) const {
    BackgroundJob* job = &job_;
    QMetaObject::invokeMethod(
        job->receiver_,
        [job, generation = generation_, deliver = std::move(deliver)] {
            if (generation == job->generation_ && job->running_) deliver();
        },
        Qt::QueuedConnection);
}

BackgroundJob::BackgroundJob() : receiver_(new QObject) {}

BackgroundJob::~BackgroundJob() {
    for (const auto& t : threads_) t->stop.store(1);
    for (const auto& t : threads_) t->thread.join();
    delete receiver_;  // with the posts not yet told: nothing posts any more
}

void BackgroundJob::reap() {
    std::erase_if(threads_, [](const std::unique_ptr<Thread>& t) {
        if (!t->done.load()) return false;
        t->thread.join();  // its work has returned: at most the thread's own end to wait for
        return true;
    });
}

std::size_t BackgroundJob::threads() const {
    std::size_t going = 0;
    for (const auto& t : threads_) going += t->done.load() ? 0u : 1u;
    return going;
}

void BackgroundJob::cancel() {
    if (!threads_.empty()) threads_.back()->stop.store(1);
    running_ = false;
    ++generation_;
}

void BackgroundJob::start(Work work, bool lengthy, End end) {
    cancel();
    reap();
    running_ = true;
    clock_.start();
    auto thread = std::make_unique<Thread>();
    Thread* self = thread.get();
    const unsigned generation = generation_;
    thread->thread = std::thread([this, self, generation, lengthy, work = std::move(work), end = std::move(end)] {
        // Linux keeps a nice value per thread, and threads started from
        // this one take it over: the runner's workers run as low as it does.
        if (lengthy) static_cast<void>(::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10));
        Context context(*this, generation, self->stop);
        std::string failure;
        try {
            work(context);
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "the computation failed";
        }
        context.post([this, end, failure] {
            running_ = false;
            if (end) end(failure);
        });
        self->done.store(true);
    });
    threads_.push_back(std::move(thread));
}
