#include "toolkit/chart/chart.h"

#include "toolkit/chart/chart_widget.h"
#include "toolkit/app/exception.h"
#include "toolkit/controls/popup_menu.h"

#include <QObject>

TChart::TChart(QWidget* parent) : widget_(new ChartWidget(model_, parent)) {
    QObject::connect(widget_, &QObject::destroyed, [this] { widget_ = nullptr; });
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
