#include "analysis/work/background_job.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Milliseconds of posts per turn of the message loop.
constexpr qint64 kTurnMs = 8;

}  // namespace

// One job's thread, and what it shares with the window's thread.
struct BackgroundJob::Thread {
    StopFlag stop{0};
    std::atomic<bool> done{false};  // the work has returned and its end is posted
    std::thread thread;
};

// The posts not yet handed over, of every job (a dropped one's are skipped).
struct BackgroundJob::Mailbox {
    std::mutex lock;
    std::deque<std::pair<unsigned, std::function<void()>>> posts;  // with their job's generation
    bool turnQueued = false;  // a turn waits in the message loop
};

void BackgroundJob::Context::post(std::function<void()> deliver) const {
    BackgroundJob* job = &job_;
    Mailbox& box = *job->mailbox_;
    const std::lock_guard<std::mutex> hold(box.lock);
    box.posts.emplace_back(generation_, std::move(deliver));
    if (std::exchange(box.turnQueued, true)) return;
    QMetaObject::invokeMethod(job->receiver_, [job] { job->hand_over(); }, Qt::QueuedConnection);
}

void BackgroundJob::hand_over() {
    QElapsedTimer turn;
    turn.start();
    for (;;) {
        std::pair<unsigned, std::function<void()>> post;
        {
            const std::lock_guard<std::mutex> hold(mailbox_->lock);
            if (mailbox_->posts.empty()) {
                mailbox_->turnQueued = false;
                return;
            }
            if (turn.elapsed() >= kTurnMs) {
                // The rest in a later turn, after what else waits (a paint, a key).
                QMetaObject::invokeMethod(receiver_, [this] { hand_over(); }, Qt::QueuedConnection);
                return;
            }
            post = std::move(mailbox_->posts.front());
            mailbox_->posts.pop_front();
        }
        if (post.first == generation_ && running_) post.second();
    }
}

BackgroundJob::BackgroundJob() : receiver_(new QObject), mailbox_(std::make_unique<Mailbox>()) {}

BackgroundJob::~BackgroundJob() {
    for (const auto& t : threads_) t->stop.store(1);
    for (const auto& t : threads_) t->thread.join();
    delete receiver_;  // with a turn not yet taken: nothing posts any more
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
