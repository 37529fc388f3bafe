#include "analysis/run_record.h"

RunRecord::RunRecord(RunFeed& feed) : feed_(feed) {
    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo& start) {
        known_ = true;
        start_ = start;
        metrics_.reset(start.speedMode, start.gains.w);
    };
    listener.onPass = [this](const RunPassInfo& pass) { metrics_.add_pass(pass.command, pass.response, pass.speedY); };
    subscription_ = feed_.subscribe(std::move(listener));
}

RunRecord::~RunRecord() { feed_.unsubscribe(subscription_); }

std::string RunRecord::csv_row() const { return metrics_csv_row(start_.gains, metrics_.result()); }
