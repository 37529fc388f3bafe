#pragma once
// The metrics of the run on the chart, updated every pass while the panel
// shows: whole numbers as such, fractions with three decimals, each value
// right-aligned in a column wide enough for any value, so nothing shifts as
// they change. "Copy metrics" puts the CSV header and row on the clipboard
// at full precision, as `vantrel-trace metrics` prints them, and says what it
// did. After a switch of mode during the run a note says that they cover the
// passes before it.
#include <QWidget>

#include <string>
#include <string_view>
#include <vector>

class QLabel;
class RunFeed;
class RunRecord;

class MetricsSection : public QWidget {
public:
    MetricsSection(RunFeed& feed, const RunRecord& record, QWidget* parent = nullptr);
    ~MetricsSection() override;

    // The row "Copy metrics" copies after the header, with its line end:
    // empty before the first run.
    std::string csv_row() const;
    // A shown value by its column's name, as in the CSV header; empty for no such column.
    QString value_text(std::string_view column) const;
    // What the last "Copy metrics" said.
    QString copy_note() const;
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
    QLabel* copyNote_;
    QLabel* switchNote_;
};
