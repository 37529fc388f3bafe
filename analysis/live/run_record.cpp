#include "analysis/live/run_record.h"

#include "core/formats/metrics_format.h"

RunRecord::RunRecord(RunFeed& feed) : feed_(feed) {
    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo& start) {
        known_ = true;
        start_ = start;
        metrics_.reset(start.speedMode, start.gains.w);
        switches_.clear();
    };
    listener.onPass = [this](const RunPassInfo& pass) {
        const bool mode = switches_.empty() ? start_.speedMode : switches_.back().speedMode;
        if (pass.speedMode != mode) switches_.push_back({pass.speedMode, pass.runTime});
        if (switches_.empty()) metrics_.add_pass(pass.command, pass.response, pass.speedY);
    };
    subscription_ = feed_.subscribe(std::move(listener));
}

RunRecord::~RunRecord() { feed_.unsubscribe(subscription_); }

std::string RunRecord::csv_row() const { return metrics_csv_row(start_.gains, metrics_.result()); }

std::string RunRecord::mode_text() const {
    auto name = [](bool speedMode) { return speedMode ? "speed" : "position"; };
    std::string text = name(start_.speedMode);
    for (const ModeSwitch& s : switches_) {
        text += std::string(" \u2192 ") + name(s.speedMode) + " at " + std::to_string(s.runTime) + " ms";
    }
    return text;
}
