#pragma once
// The readout of cursors A and B: their time and each visible series' value
// there (the last point at or before the cursor), with the differences B - A.
#include <QWidget>

#include <cstddef>
#include <optional>
#include <string>

class QLabel;
class RunFeed;
class TChart;
class TLineSeries;

// The Y of the last point of `series` at or before `x`; none before its first point.
std::optional<double> value_at_or_before(const TLineSeries& series, double x);

class CursorSection : public QWidget {
public:
    CursorSection(RunFeed& feed, TChart& chart, QWidget* parent = nullptr);
    ~CursorSection() override;

    // The readout as shown, one line per row.
    std::string readout() const;
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    RunFeed& feed_;
    TChart& chart_;
    int subscription_;
    QLabel* text_;
};
