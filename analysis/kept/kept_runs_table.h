#pragma once
// The kept runs' metrics side by side: the run on the chart first ("chart"),
// then one row per kept run, the columns of `vantrel-trace metrics` that
// some row has a value in, sorted by a click on a heading, the best value
// of each column marked (among the runs of one mode: an IAE in speed mode
// says nothing of one in position mode). The run column, with its swatch,
// stays in sight while the table scrolls sideways. A click on a row selects
// that run on the chart. "Copy table" puts the table on the clipboard as
// CSV with its header, at full precision (the note says so).
#include "analysis/kept/kept_runs_section.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QTableView;
class QTableWidget;
class RunFeed;
class RunRecord;

// Per kept run and per column of the metric table: holds the best value.
std::vector<std::vector<bool>> kept_runs_best(const std::vector<KeptRunsSection::KeptRun>& runs);
// "run,mode,kp,...,pwm_limit_passes" and one row per run, in the order
// given; the run on the chart (number 0) is "chart".
std::string kept_runs_csv(const std::vector<KeptRunsSection::KeptRun>& runs);

class KeptRunsTable : public QWidget {
public:
    KeptRunsTable(KeptRunsSection& runs, RunFeed& feed, const RunRecord& record, QWidget* parent = nullptr);
    ~KeptRunsTable() override;
    void refresh();
    QTableWidget* table() const { return table_; }
    // What the last "Copy table" said under the table (cleared when the runs change).
    QString note() const;
    // The rows as the table has them: the run on the chart (number 0) first, then the kept runs.
    std::vector<KeptRunsSection::KeptRun> rows() const;
    // The run column kept in sight (a view over the table's first column).
    QTableView* run_column() const { return frozen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place_run_column();
    // Rows, swatches and the table's height from the font it has now.
    void fit_to_font();

    KeptRunsSection& runs_;
    RunFeed& feed_;
    const RunRecord& record_;
    int subscription_ = 0;
    QTableWidget* table_;
    QTableView* frozen_;
    QLabel* note_;
    bool filling_ = false;
};
