#pragma once
// The real-valued twin drawn over the chart: its counterparts of the shown
// series as thin dashed lines in the series' colours, and optionally the
// integer speed minus the twin's. The lines follow the chart's zoom and pan
// but do not widen its ranges: a value beyond them is cut at the plot's edge.
// The overlay keeps every pass from the run's start, shown or not, so that
// turning it on during a run shows the whole run.
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstddef>
#include <vector>

class TChart;
struct RunPassInfo;

class ReferenceOverlay {
public:
    explicit ReferenceOverlay(TChart& chart);
    ~ReferenceOverlay();
    ReferenceOverlay(const ReferenceOverlay&) = delete;
    ReferenceOverlay& operator=(const ReferenceOverlay&) = delete;

    void clear();
    void add_pass(const RunPassInfo& pass);
    // The twin's lines and the speed difference, each on or off.
    void set_shown(bool twins, bool difference);
    bool shown() const;

    // The lines: the twin of Series1, Series2, Series3, then v - twin v.
    static constexpr int kLines = 4;
    std::size_t count() const { return times_.size(); }
    double value(int line, std::size_t index) const { return values_[static_cast<std::size_t>(line)][index]; }

private:
    class Layer;
    TChart& chart_;
    QPointer<Layer> layer_;
    std::vector<double> times_;
    std::array<std::vector<float>, kLines> values_;  // NaN where a line has no point
};
