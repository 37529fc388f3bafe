#include "analysis/reference_overlay.h"

#include "analysis/run_feed.h"
#include "toolkit/chart/chart.h"
#include "toolkit/chart/chart_scale.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <cmath>
#include <limits>
#include <optional>

namespace {

QColor qt_color(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// What one pixel column of a line covers: where it enters, its extremes and
// where it leaves, so that a million points draw as a few hundred columns.
struct Column {
    float first, low, high, last;
    bool any = false;
};

}  // namespace

// A transparent layer over the chart widget that paints the lines. Column
// summaries are kept while the view and the plot stay, so a repaint per pass
// only folds in the passes added since the last one.
class ReferenceOverlay::Layer : public QWidget {
public:
    Layer(ReferenceOverlay& owner, QWidget* chart) : QWidget(chart), owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(chart->rect());
        chart->installEventFilter(this);
    }
    // The column strip where a pass at `time` lands, if the view shows it.
    std::optional<QRect> column_of(double time) const {
        if (plot_.Right - plot_.Left < 2 || time < view_.XMin || time > view_.XMax) return std::nullopt;
        const AxisMap x({view_.XMin, view_.XMax}, plot_.Left, plot_.Right - 1);
        return QRect(x.pixel(time) - 1, plot_.Top, 3, plot_.Bottom - plot_.Top);
    }
    bool twins = false;
    bool difference = false;
    void forget() { summarized_ = 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
        return false;
    }

    void paintEvent(QPaintEvent* event) override {
        const ChartView view = owner_.chart_.View();
        const TRect plot = owner_.chart_.PlotArea();
        if (plot.Right - plot.Left < 2 || plot.Bottom - plot.Top < 2) return;
        if (!(view == view_) || !(plot == plot_)) {
            view_ = view;
            plot_ = plot;
            summarized_ = 0;
            for (auto& line : columns_) line.assign(static_cast<std::size_t>(plot.Right - plot.Left), Column{});
        }
        summarize();
        // Only the columns asked for, with one on each side for the joins: a
        // pass repaints a few.
        const int first = std::max(0, event->rect().left() - 1 - plot.Left);
        const int last = std::min(plot.Right - plot.Left - 1, event->rect().right() + 1 - plot.Left);
        QPainter painter(this);
        painter.setClipRect(QRect(QPoint(plot.Left, plot.Top), QPoint(plot.Right - 1, plot.Bottom - 1)));
        const AxisMap y({view.YMin, view.YMax}, plot.Bottom - 1, plot.Top);
        for (int line = 0; line < kLines; ++line) {
            if (line == 3 ? !difference : !twins) continue;
            const TColor color = owner_.chart_.Series(static_cast<std::size_t>(line == 3 ? 1 : line))->Color();
            QPen pen(qt_color(color), 1, line == 3 ? Qt::DashDotLine : Qt::DashLine);
            painter.setPen(pen);
            draw_line(painter, columns_[static_cast<std::size_t>(line)], y, first, last);
        }
    }

private:
    void summarize() {
        const AxisMap x({view_.XMin, view_.XMax}, plot_.Left, plot_.Right - 1);
        const std::size_t n = owner_.times_.size();
        for (std::size_t i = summarized_; i < n; ++i) {
            const double t = owner_.times_[i];
            if (t < view_.XMin || t > view_.XMax) continue;
            const std::size_t column = static_cast<std::size_t>(x.pixel(t) - plot_.Left);
            for (std::size_t line = 0; line < kLines; ++line) {
                const float v = owner_.values_[line][i];
                if (std::isnan(v) || column >= columns_[line].size()) continue;
                Column& c = columns_[line][column];
                if (!c.any) {
                    c = {v, v, v, v, true};
                } else {
                    c.low = std::min(c.low, v);
                    c.high = std::max(c.high, v);
                    c.last = v;
                }
            }
        }
        summarized_ = n;
    }

    void draw_line(QPainter& painter, const std::vector<Column>& columns, const AxisMap& y, int first, int last) {
        QPolygon points;
        for (std::size_t i = static_cast<std::size_t>(first); i <= static_cast<std::size_t>(std::max(first, last)) && i < columns.size(); ++i) {
            const Column& c = columns[i];
            if (!c.any) continue;
            const int px = plot_.Left + static_cast<int>(i);
            points << QPoint(px, y.pixel(c.first));
            if (c.low != c.high) points << QPoint(px, y.pixel(c.low)) << QPoint(px, y.pixel(c.high));
            points << QPoint(px, y.pixel(c.last));
        }
        if (points.size() > 1) painter.drawPolyline(points);
    }

    ReferenceOverlay& owner_;
    ChartView view_{};
    TRect plot_{};
    std::size_t summarized_ = 0;
    std::array<std::vector<Column>, kLines> columns_;
};

ReferenceOverlay::ReferenceOverlay(TChart& chart) : chart_(chart) {}

ReferenceOverlay::~ReferenceOverlay() { delete layer_.data(); }

void ReferenceOverlay::clear() {
    times_.clear();
    for (auto& line : values_) line.clear();
    if (layer_) {
        layer_->forget();
        layer_->update();
    }
}

void ReferenceOverlay::add_pass(const RunPassInfo& pass) {
    constexpr float none = std::numeric_limits<float>::quiet_NaN();
    times_.push_back(pass.runTime);
    values_[0].push_back(static_cast<float>(pass.shadowY));
    values_[1].push_back(static_cast<float>(pass.shadowSpeed));
    values_[2].push_back(pass.speedMode ? none : static_cast<float>(pass.shadowPosition));
    values_[3].push_back(static_cast<float>(pass.actualSpeed - pass.shadowSpeed));
    if (layer_ && layer_->isVisible()) {
        const std::optional<QRect> column = layer_->column_of(pass.runTime);
        column ? layer_->update(*column) : layer_->update();
    }
}

void ReferenceOverlay::set_shown(bool twins, bool difference) {
    if (!layer_ && !twins && !difference) return;
    if (!layer_) layer_ = new Layer(*this, chart_.Widget());
    layer_->twins = twins;
    layer_->difference = difference;
    layer_->setVisible(twins || difference);
    layer_->update();
}

bool ReferenceOverlay::shown() const { return layer_ && layer_->isVisible(); }
