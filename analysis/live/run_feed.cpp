#include "analysis/live/run_feed.h"

#include <algorithm>
#include <utility>

int RunFeed::subscribe(Listener listener) {
    listeners_.push_back({nextId_, std::move(listener)});
    return nextId_++;
}

void RunFeed::unsubscribe(int id) {
    std::erase_if(listeners_, [id](const Entry& e) { return e.id == id; });
}

// Listeners are called from a copy: one may subscribe or unsubscribe while
// it is told.
void RunFeed::publish_starting() {
    const auto listeners = listeners_;
    for (const Entry& e : listeners) {
        if (e.listener.onStarting) e.listener.onStarting();
    }
}

void RunFeed::publish_start(const RunStartInfo& start) {
    ++runsGoing_;
    if (paused_) {
        paused_ = false;
        passesAllowed_ = 0;
        hold_changed();
    }
    const auto listeners = listeners_;
    for (const Entry& e : listeners) {
        if (e.listener.onStart) e.listener.onStart(start);
    }
}

void RunFeed::publish_pass(const RunPassInfo& pass) {
    const auto listeners = listeners_;
    for (const Entry& e : listeners) {
        if (e.listener.onPass) e.listener.onPass(pass);
    }
}

void RunFeed::publish_end() {
    if (runsGoing_ > 0) --runsGoing_;
    if (runsGoing_ == 0 && paused_) {
        paused_ = false;
        passesAllowed_ = 0;
        hold_changed();
    }
    const auto listeners = listeners_;
    for (const Entry& e : listeners) {
        if (e.listener.onEnd) e.listener.onEnd();
    }
}

// A hold only means something while a run goes: the next run starts free.
void RunFeed::pause() {
    if (runsGoing_ == 0 || (paused_ && passesAllowed_ == 0)) return;
    paused_ = true;
    passesAllowed_ = 0;
    hold_changed();
}

void RunFeed::next_pass() {
    if (runsGoing_ == 0) return;
    paused_ = true;
    passesAllowed_ = 1;
    hold_changed();
}

void RunFeed::resume() {
    if (!paused_) return;
    paused_ = false;
    passesAllowed_ = 0;
    hold_changed();
}

void RunFeed::pass_begins() {
    if (paused_ && passesAllowed_ > 0) --passesAllowed_;
}

void RunFeed::hold_changed() {
    if (onHoldChange) onHoldChange();
}
