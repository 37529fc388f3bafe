#include "analysis/live/twin_overlay.h"

#include "analysis/live/run_feed.h"
#include "toolkit/chart/chart.h"

#include <cmath>
#include <limits>

TwinOverlay::TwinOverlay(TChart& chart) : chart_(chart) {}

TwinOverlay::~TwinOverlay() {
    for (TChartOverlay* line : lines_) {
        if (line) chart_.RemoveOverlay(line);
    }
}

void TwinOverlay::clear() {
    pending_.clear();
    passes_ = 0;
    for (TChartOverlay* line : lines_) {
        if (line) line->Clear();
    }
}

void TwinOverlay::add(const Pending& pass) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!std::isnan(pass.values[i])) lines_[i]->AddXY(pass.time, pass.values[i]);
    }
}

void TwinOverlay::add_pass(const RunPassInfo& pass) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    const Pending values{double(pass.runTime),
                         {pass.twinY, pass.twinSpeed, pass.speedMode ? none : pass.twinPosition,
                          pass.actualSpeed - pass.twinSpeed}};
    ++passes_;
    if (lines_[0]) {
        add(values);
    } else {
        pending_.push_back(values);
    }
}

void TwinOverlay::set_shown(bool twins, bool difference) {
    if (!lines_[0]) {
        if (!twins && !difference) return;
        for (int i = 0; i < kLines; ++i) {
            // Each twin line against its series' axis, in its colour; the
            // difference solid and faded, so it does not pass for a twin.
            const int series = i == 3 ? 1 : i;
            TOverlayStyle style;
            style.Color = i == 3 ? kDifferenceColour : chart_.Series(static_cast<std::size_t>(series))->Color();
            style.Width = i == 3 ? 2 : 1;
            style.Dashed = i != 3;
            style.AxisOf = series;
            // Entries beside the series': the twin once (its speed line stands
            // for its three), the difference on its own.
            style.Legend = i == 1 ? "twin (dashed, real-valued)" : i == 3 ? "v \u2212 twin v" : "";
            style.LegendWithSeries = true;
            lines_[static_cast<std::size_t>(i)] = chart_.AddOverlay(style);
        }
        for (const Pending& pass : pending_) add(pass);
        pending_.clear();
        pending_.shrink_to_fit();
    }
    for (int i = 0; i < kLines; ++i) lines_[static_cast<std::size_t>(i)]->SetVisible(i == 3 ? difference : twins);
}

bool TwinOverlay::shown() const { return lines_[0] && (lines_[0]->Visible() || lines_[3]->Visible()); }
