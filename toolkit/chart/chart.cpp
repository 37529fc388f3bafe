#include "toolkit/chart/chart.h"

#include "toolkit/chart/chart_widget.h"
#include "toolkit/app/exception.h"
#include "toolkit/controls/popup_menu.h"

#include <QObject>

TChart::TChart(QWidget* parent) : widget_(new ChartWidget(model_, parent)) {
    QObject::connect(widget_, &QObject::destroyed, [this] { widget_ = nullptr; });
    widget_->view_changed = [this] {
        if (OnViewChange) OnViewChange();
    };
    widget_->cursor_moved = [this] {
        if (OnCursorMove) OnCursorMove();
    };
    widget_->dot_clicked = [this](std::size_t overlay, std::size_t index) {
        if (OnDotClick) OnDotClick(model_.Overlay(overlay), index);
    };
}

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

void TChart::SetBottomAxisLogarithmic(bool on) {
    model_.set_log_x(on);
    if (widget_) widget_->set_log_x(on);
}

void TChart::SetLeftLabelsWidth(int pixels) {
    if (widget_) widget_->set_left_labels_least(pixels);
}

TLineSeries* TChart::AddSeries(const std::string& title, int width, TColor color) {
    return model_.AddSeries(title, width, color);
}

std::size_t TChart::SeriesCount() const { return model_.SeriesCount(); }

TLineSeries* TChart::Series(std::size_t index) const { return model_.Series(index); }

void TChart::Repaint() {
    if (widget_) widget_->repaint_now();
}

TRect TChart::PlotArea() { return widget_ ? widget_->plot_area() : TRect{}; }

ChartPixel TChart::PointPixel(const TLineSeries& series, std::size_t index) {
    if (index >= series.Count()) throw Exception("Chart point index out of range");
    if (!widget_) return ChartPixel{};
    const QPoint p = widget_->point_pixel(series, index);
    return ChartPixel{p.x(), p.y()};
}

ChartPixel TChart::OverlayPixel(const TChartOverlay& overlay, std::size_t index) {
    if (index >= overlay.Count()) throw Exception("Chart point index out of range");
    if (!widget_) return ChartPixel{};
    const QPoint p = widget_->overlay_pixel(overlay, index);
    return ChartPixel{p.x(), p.y()};
}

std::size_t TChart::FullRedraws() const { return widget_ ? widget_->full_redraws() : 0; }

ChartView TChart::View() {
    if (!widget_) return ChartView{};
    widget_->update_picture();
    const AxisRange x = widget_->shown_x();
    const AxisRange y = widget_->shown_y();
    return ChartView{model_.data_x(x.lo), model_.data_x(x.hi), y.lo, y.hi};
}

bool TChart::UserView() const { return widget_ && widget_->in_user_view(); }

bool TChart::SetView(const ChartView& view) {
    return widget_ && widget_->set_view(AxisRange{model_.axis_x(view.XMin), model_.axis_x(view.XMax)},
                                        AxisRange{view.YMin, view.YMax});
}

void TChart::ShowAll() {
    if (widget_) widget_->show_all();
}

void TChart::FitToData() {
    if (widget_) widget_->fit_to_data();
}

TChartOverlay* TChart::AddOverlay(const TOverlayStyle& style) { return model_.AddOverlay(style); }

void TChart::RemoveOverlay(TChartOverlay* overlay) { model_.RemoveOverlay(overlay); }

std::size_t TChart::OverlayCount() const { return model_.OverlayCount(); }

TChartOverlay* TChart::Overlay(std::size_t index) const { return model_.Overlay(index); }

void TChart::SetRightAxis(bool on) {
    if (widget_) widget_->set_right_axis(on);
}

bool TChart::RightAxis() const { return widget_ && widget_->right_axis(); }

ChartView TChart::RightView() {
    if (!widget_) return ChartView{};
    widget_->update_picture();
    const AxisRange x = widget_->shown_x();
    const AxisRange y = widget_->shown_right();
    return ChartView{model_.data_x(x.lo), model_.data_x(x.hi), y.lo, y.hi};
}

void TChart::SetCursor(int which, std::optional<double> x) {
    if (x) x = model_.axis_x(*x);
    if (widget_) widget_->set_cursor(which, x);
}

std::optional<double> TChart::Cursor(int which) const {
    const std::optional<double> at = widget_ ? widget_->cursor(which) : std::nullopt;
    return at ? std::optional(model_.data_x(*at)) : std::nullopt;
}

double TChart::XAtPixel(int x) { return widget_ ? model_.data_x(widget_->x_at(x)) : 0; }

TRect TChart::LegendEntry(std::size_t index) {
    if (!widget_) return TRect{};
    const QRect r = widget_->legend_entry(index);
    return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

void TChart::SetOverlayHeading(const std::string& heading) { model_.set_overlay_heading(heading); }

void TChart::SetOverlaysFolded(bool folded) { model_.set_overlays_folded(folded); }

bool TChart::OverlaysFolded() const { return model_.overlays_folded(); }
