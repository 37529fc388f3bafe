#include "toolkit/chart/chart_model.h"

#include "toolkit/app/exception.h"

#include <algorithm>
#include <cmath>
#include <limits>
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
    const std::size_t index = points_.add(model_.axis_x(x), y);
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
    return model_.data_x(points_.x(index));
}

double TLineSeries::YValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return points_.y(index);
}

std::size_t TLineSeries::StorageBytes() const { return points_.storage_bytes(); }

void TLineSeries::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (ChartModelListener* listener = model_.listener()) listener->series_changed();
}

TChartOverlay::TChartOverlay(ChartModel& model, const TOverlayStyle& style) : model_(model), style_(style) {}

void TChartOverlay::Clear() {
    if (points_.size() == 0) return;
    points_.clear();
    model_.overlays_changed();
}

void TChartOverlay::AddXY(double x, double y) {
    const std::size_t index = points_.add(model_.axis_x(x), y);
    model_.overlay_point_added(*this, index);
}

double TChartOverlay::XValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return model_.data_x(points_.x(index));
}

double TChartOverlay::YValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return points_.y(index);
}

void TChartOverlay::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    model_.overlays_changed();
}

void TChartOverlay::SetStyle(const TOverlayStyle& style) {
    style_ = style;
    model_.overlays_changed();
}

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

TChartOverlay* ChartModel::AddOverlay(const TOverlayStyle& style) {
    overlays_.push_back(std::unique_ptr<TChartOverlay>(new TChartOverlay(*this, style)));
    overlays_changed();
    return overlays_.back().get();
}

void ChartModel::RemoveOverlay(TChartOverlay* overlay) {
    const auto found = std::find_if(overlays_.begin(), overlays_.end(),
                                    [overlay](const std::unique_ptr<TChartOverlay>& o) { return o.get() == overlay; });
    if (found == overlays_.end()) return;
    overlays_.erase(found);
    overlays_changed();
}

TChartOverlay* ChartModel::Overlay(std::size_t index) const {
    if (index >= overlays_.size()) throw Exception("Chart overlay index out of range");
    return overlays_[index].get();
}

void ChartModel::set_overlay_heading(const std::string& heading) {
    if (heading == overlayHeading_) return;
    overlayHeading_ = heading;
    if (listener_) listener_->series_changed();
}

void ChartModel::set_overlays_folded(bool folded) {
    if (folded == overlaysFolded_) return;
    overlaysFolded_ = folded;
    if (listener_) listener_->series_changed();
}

void ChartModel::set_log_x(bool on) {
    if (on == logX_) return;
    logX_ = on;
    if (listener_) listener_->series_changed();
}

double ChartModel::axis_x(double x) const {
    if (!logX_) return x;
    return x > 0 ? std::log10(x) : std::numeric_limits<double>::quiet_NaN();
}

double ChartModel::data_x(double position) const { return logX_ ? std::pow(10.0, position) : position; }

void ChartModel::overlays_changed() {
    if (listener_) listener_->overlays_changed();
}

void ChartModel::overlay_point_added(const TChartOverlay& overlay, std::size_t index) {
    if (!listener_) return;
    for (std::size_t i = 0; i < overlays_.size(); ++i) {
        if (overlays_[i].get() == &overlay) listener_->overlay_point_added(i, index);
    }
}
