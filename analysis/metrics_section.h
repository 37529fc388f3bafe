#pragma once
// The metrics of the run on the chart, as the command-line front end prints
// them, updated every pass while the panel shows; "Copy metrics" puts the
// CSV row on the clipboard. After a switch of mode during the run a note
// says that they cover the passes before it.
#include <QWidget>

#include <vector>

class QLabel;
class RunFeed;
class RunRecord;

class MetricsSection : public QWidget {
public:
    MetricsSection(RunFeed& feed, const RunRecord& record, QWidget* parent = nullptr);
    ~MetricsSection() override;

    // The row "Copy metrics" copies, with its line end: empty before the first run.
    std::string csv_row() const;
    void refresh();
    // The note under the figures; empty unless the run changed its mode.
    QString switch_note() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    RunFeed& feed_;
    const RunRecord& record_;
    int subscription_;
    std::vector<QLabel*> values_;  // one per column shown
    QLabel* switchNote_;
};
