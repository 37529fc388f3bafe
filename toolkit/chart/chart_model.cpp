#include "toolkit/chart/chart_model.h"

#include "toolkit/app/exception.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

namespace {

// Default series colours, by the series' place in the chart, all readable on
// white: red, green, amber, purple, teal, brown, grey, black.
constexpr TColor kDefaultColors[] = {0x0000FF, 0x00A000, 0x00A0E0, 0xC00080, 0x808000, 0x2D52A0, 0x808080, 0x000000};

}  // namespace

TLineSeries::TLineSeries(ChartModel& model, std::size_t place, std::string title, int width, TColor color)
    : model_(model), place_(place), title_(std::move(title)), width_(width), color_(color) {}

void TLineSeries::Clear() {
    points_.clear();
    if (ChartModelListener* listener = model_.listener()) listener->series_cleared(place_);
}

int TLineSeries::AddXY(double x, double y, const std::string&, TColor) {
    // The label is not shown and a point's own colour is not used: every
    // point is drawn in the series' colour.
    const std::size_t index = points_.add(x, y);
    if (ChartModelListener* listener = model_.listener()) listener->point_added(place_, index);
    return static_cast<int>(std::min<std::size_t>(index, INT32_MAX));
}

void TLineSeries::SetTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    if (ChartModelListener* listener = model_.listener()) listener->series_changed();
}

const std::string& TLineSeries::Title() const { return title_; }
int TLineSeries::Width() const { return width_; }
TColor TLineSeries::Color() const { return color_; }
std::size_t TLineSeries::Count() const { return points_.size(); }

double TLineSeries::XValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return points_.x(index);
}

double TLineSeries::YValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return points_.y(index);
}

std::size_t TLineSeries::StorageBytes() const { return points_.storage_bytes(); }

TLineSeries* ChartModel::AddSeries(const std::string& title, int width, TColor color) {
    if (color == clDefaultColor) color = kDefaultColors[series_.size() % std::size(kDefaultColors)];
    series_.push_back(std::unique_ptr<TLineSeries>(new TLineSeries(*this, series_.size(), title, width, color)));
    if (listener_) listener_->series_changed();
    return series_.back().get();
}

TLineSeries* ChartModel::Series(std::size_t index) const {
    if (index >= series_.size()) throw Exception("Chart series index out of range");
    return series_[index].get();
}
