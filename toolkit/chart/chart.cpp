#include "toolkit/chart/chart.h"

#include "toolkit/chart/chart_widget.h"
#include "toolkit/app/exception.h"
#include "toolkit/controls/popup_menu.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

namespace {

// Default series colours, by the series' place in the chart, all readable on
// white: red, green, amber, purple, teal, brown, grey, black.
constexpr TColor kDefaultColors[] = {0x0000FF, 0x00A000, 0x00A0E0, 0xC00080, 0x808000, 0x2D52A0, 0x808080, 0x000000};

}  // namespace

TLineSeries::TLineSeries(TChart& chart, std::string title, int width, TColor color)
    : chart_(chart), title_(std::move(title)), width_(width), color_(color) {}

void TLineSeries::Clear() {
    points_.clear();
    undrawnFrom_ = 0;
    if (chart_.widget_) chart_.widget_->reset_ranges();
}

int TLineSeries::AddXY(double x, double y, const std::string&, TColor) {
    // The label is not shown and a point's own colour is not used: every
    // point is drawn in the series' colour.
    const std::size_t index = points_.add(x, y);
    undrawnFrom_ = std::min(undrawnFrom_, index);
    return static_cast<int>(std::min<std::size_t>(index, INT32_MAX));
}

void TLineSeries::SetTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    if (chart_.widget_) chart_.widget_->invalidate();
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

void TLineSeries::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (chart_.widget_) chart_.widget_->invalidate();
}

TChartOverlay::TChartOverlay(TChart& chart, const TOverlayStyle& style) : chart_(chart), style_(style) {}

void TChartOverlay::Clear() {
    if (points_.size() == 0) return;
    points_.clear();
    undrawnFrom_ = 0;
    if (chart_.widget_) chart_.widget_->invalidate();
}

void TChartOverlay::AddXY(double x, double y) {
    const std::size_t index = points_.add(x, y);
    undrawnFrom_ = std::min(undrawnFrom_, index);
}

double TChartOverlay::XValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return points_.x(index);
}

double TChartOverlay::YValue(std::size_t index) const {
    if (index >= points_.size()) throw Exception("Chart point index out of range");
    return points_.y(index);
}

void TChartOverlay::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (chart_.widget_) chart_.widget_->invalidate();
}

void TChartOverlay::SetStyle(const TOverlayStyle& style) {
    style_ = style;
    if (chart_.widget_) chart_.widget_->invalidate();
}

TChart::TChart(QWidget* parent) : widget_(new ChartWidget(*this, parent)) {}

TChart::~TChart() { delete widget_; }

QWidget* TChart::Widget() const { return widget_; }

void TChart::SetPopupMenu(TPopupMenu* menu) { menu->AttachTo(widget_); }

void TChart::SetTitle(const std::string& title) {
    if (widget_) widget_->set_title(title);
}

void TChart::SetBottomAxisTitle(const std::string& title) {
    if (widget_) widget_->set_bottom_title(title);
}

void TChart::SetBottomAxisIncrement(double step) {
    if (widget_) widget_->set_bottom_increment(step);
}

TLineSeries* TChart::AddSeries(const std::string& title, int width, TColor color) {
    if (color == clDefaultColor) color = kDefaultColors[series_.size() % std::size(kDefaultColors)];
    series_.push_back(std::unique_ptr<TLineSeries>(new TLineSeries(*this, title, width, color)));
    if (widget_) widget_->invalidate();
    return series_.back().get();
}

std::size_t TChart::SeriesCount() const { return series_.size(); }

TLineSeries* TChart::Series(std::size_t index) const {
    if (index >= series_.size()) throw Exception("Chart series index out of range");
    return series_[index].get();
}

void TChart::Repaint() {
    if (widget_) widget_->repaint_now();
}

TRect TChart::PlotArea() { return widget_ ? widget_->plot_area() : TRect{}; }

ChartPixel TChart::PointPixel(const TLineSeries& series, std::size_t index) {
    if (index >= series.Count()) throw Exception("Chart point index out of range");
    return widget_ ? widget_->point_pixel(series, index) : ChartPixel{};
}

std::size_t TChart::FullRedraws() const { return widget_ ? widget_->full_redraws() : 0; }

ChartView TChart::View() {
    if (!widget_) return ChartView{};
    widget_->update_picture();
    const AxisRange x = widget_->shown_x();
    const AxisRange y = widget_->shown_y();
    return ChartView{x.lo, x.hi, y.lo, y.hi};
}

bool TChart::UserView() const { return widget_ && widget_->in_user_view(); }

bool TChart::SetView(const ChartView& view) {
    return widget_ && widget_->set_view(AxisRange{view.XMin, view.XMax}, AxisRange{view.YMin, view.YMax});
}

void TChart::ShowAll() {
    if (widget_) widget_->show_all();
}

void TChart::FitToData() {
    if (widget_) widget_->fit_to_data();
}

TChartOverlay* TChart::AddOverlay(const TOverlayStyle& style) {
    overlays_.push_back(std::unique_ptr<TChartOverlay>(new TChartOverlay(*this, style)));
    if (widget_) widget_->invalidate();
    return overlays_.back().get();
}

void TChart::RemoveOverlay(TChartOverlay* overlay) {
    const auto found = std::find_if(overlays_.begin(), overlays_.end(),
                                    [overlay](const std::unique_ptr<TChartOverlay>& o) { return o.get() == overlay; });
    if (found == overlays_.end()) return;
    overlays_.erase(found);
    if (widget_) widget_->invalidate();
}

TChartOverlay* TChart::Overlay(std::size_t index) const {
    if (index >= overlays_.size()) throw Exception("Chart overlay index out of range");
    return overlays_[index].get();
}

void TChart::SetRightAxis(bool on) {
    if (widget_) widget_->set_right_axis(on);
}

bool TChart::RightAxis() const { return widget_ && widget_->right_axis(); }

ChartView TChart::RightView() {
    if (!widget_) return ChartView{};
    widget_->update_picture();
    const AxisRange x = widget_->shown_x();
    const AxisRange y = widget_->shown_right();
    return ChartView{x.lo, x.hi, y.lo, y.hi};
}

void TChart::SetCursor(int which, std::optional<double> x) {
    if (widget_) widget_->set_cursor(which, x);
}

std::optional<double> TChart::Cursor(int which) const {
    return widget_ ? widget_->cursor(which) : std::nullopt;
}

double TChart::XAtPixel(int x) { return widget_ ? widget_->x_at(x) : 0; }
