#pragma once
// The readout of cursors A and B: their time and each visible series' and
// visible kept run's value there (the last point at or before the cursor;
// "–" before a line's first point and after its last, rather than a value
// it no longer holds), with the differences B - A.
#include <QWidget>

#include <cstddef>
#include <optional>
#include <string>

class KeptRunsSection;
class QLabel;
class RunFeed;
class SeriesData;
class TChart;

// The Y of the last point at or before `x`; none before the first point
// and beyond the last.
std::optional<double> value_at_or_before(const SeriesData& points, double x);

class CursorSection : public QWidget {
public:
    // `kept` may be null: then only the chart's series are read.
    CursorSection(RunFeed& feed, TChart& chart, const KeptRunsSection* kept, QWidget* parent = nullptr);
    ~CursorSection() override;

    // The readout as shown, one line per row.
    std::string readout() const;
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    RunFeed& feed_;
    TChart& chart_;
    const KeptRunsSection* kept_;
    int subscription_;
    QLabel* text_;
};
