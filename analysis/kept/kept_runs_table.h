#pragma once
// The kept runs' metrics side by side: one row per kept run, the columns of
// `vantrel-trace metrics` that some kept run has a value in, sorted by a
// click on a heading, the best value of each column marked (among the runs
// of one mode: an IAE in speed mode says nothing of one in position mode).
// A click on a row selects that run on the chart. "Copy table" puts the
// table on the clipboard as CSV with its header, at full precision.
#include "analysis/kept/kept_runs_section.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QTableWidget;

// Per kept run and per column of the metric table: holds the best value.
std::vector<std::vector<bool>> kept_runs_best(const std::vector<KeptRunsSection::KeptRun>& runs);
// "run,mode,kp,...,pwm_limit_passes" and one row per run, oldest first.
std::string kept_runs_csv(const std::vector<KeptRunsSection::KeptRun>& runs);

class KeptRunsTable : public QWidget {
public:
    explicit KeptRunsTable(KeptRunsSection& runs, QWidget* parent = nullptr);
    void refresh();
    QTableWidget* table() const { return table_; }
    // What the last "Copy table" said under the table.
    QString note() const;

private:
    KeptRunsSection& runs_;
    QTableWidget* table_;
    QLabel* note_;
    bool filling_ = false;
};
