#pragma once
// A thin strip under the chart's plot with one lane per event kind and a
// tick at each pass that raised the event. It follows the chart's X view
// (zoom and pan); hovering a tick tells the pass, the time, the event and
// the values before and after the wrap or limit. It is no chart of its own:
// no value axis, scale or legend, only marks on the chart's time axis, which
// it takes from the chart (View, PlotArea), so it paints them itself.
#include "core/measure/regulation_events.h"

#include <QColor>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class TChart;

struct LaneTick {
    double time;          // ms, the pass's chart X
    std::int64_t pass;    // 1 for the run's first pass
    EventValues values;
};

class EventLanes : public QWidget {
public:
    EventLanes(TChart& chart, QWidget* parent);

    void clear();
    // Keeps a tick in each lane whose event `events` raised.
    void add_pass(std::int64_t pass, double time, const PassEvents& events);
    const std::vector<LaneTick>& ticks(int event) const { return lanes_[static_cast<std::size_t>(event)]; }

    // The lane under strip row `y`, or -1.
    int lane_at(int y) const;
    // The tick drawn at strip column `x` in `lane`, if any.
    std::optional<LaneTick> tick_at(int lane, int x);
    // The text a hover over (x, y) shows.
    QString hover_text(QPoint at);

    static QColor lane_color(int event);
    static constexpr int kLaneHeight = 5;
    static constexpr int kHeight = kRegulationEventCount * kLaneHeight + 4;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Span {
        int left = 0;   // strip columns of the plot's first and last pixel
        int right = 0;
        double xMin = 0;
        double xMax = 1;
        bool operator==(const Span&) const = default;
    };
    Span span();
    // After the chart was resized: the whole strip again if its plot moved.
    void follow_chart();
    int lane_top(int lane) const { return 2 + lane * kLaneHeight; }

    TChart& chart_;
    Span drawn_;  // the span of the last paint
    bool followPending_ = false;
    std::vector<LaneTick> lanes_[kRegulationEventCount];  // each in time order
};
