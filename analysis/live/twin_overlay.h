#pragma once
// The real-valued twin drawn over the chart as chart overlays: its
// counterparts of the shown series as thin dashed lines in the series'
// colours, and optionally the integer speed minus the twin's, a line of its
// own colour against the speed's axis (the error the 16-bit arithmetic
// makes, in counts). Both have legend entries beside the series'. They join
// the chart's ranges, zoom and pan. The passes of a run are kept from its
// start, shown or not, so that turning the lines on during a run shows the
// whole run.
#include "toolkit/app/colors.h"

#include <array>
#include <cstddef>
#include <vector>

class TChart;
class TChartOverlay;
struct RunPassInfo;

class TwinOverlay {
public:
    explicit TwinOverlay(TChart& chart);
    ~TwinOverlay();
    TwinOverlay(const TwinOverlay&) = delete;
    TwinOverlay& operator=(const TwinOverlay&) = delete;

    void clear();
    void add_pass(const RunPassInfo& pass);
    // The twin's lines and the speed difference, each on or off.
    void set_shown(bool twins, bool difference);
    bool shown() const;

    // The lines: the twin of Series1, Series2, Series3, then v - twin v.
    static constexpr int kLines = 4;
    static constexpr TColor kDifferenceColour = color_from_rgb(140, 140, 0);
    std::size_t count() const { return passes_; }
    // Null until first shown.
    TChartOverlay* line(int index) const { return lines_[static_cast<std::size_t>(index)]; }

private:
    struct Pending {
        double time;
        double values[kLines];  // NaN where a line has no point
    };
    void add(const Pending& pass);

    TChart& chart_;
    std::array<TChartOverlay*, kLines> lines_{};
    std::vector<Pending> pending_;  // passes kept until the lines first show
    std::size_t passes_ = 0;
};
