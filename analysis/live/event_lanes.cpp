#include "analysis/live/event_lanes.h"

#include "toolkit/chart/chart.h"

#include <QHelpEvent>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPointer>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// Apart from the series' red, navy, gold and purple: greens for the speed
// loop, pinks and browns for the position loop, greys for the limits.
constexpr QRgb kLaneColors[kRegulationEventCount] = {
    0x00A080, 0x00C0C0, 0x60B000, 0x006040,  // speed.*
    0xFF60B0, 0xA05020, 0xE08060, 0x600030,  // position.*
    0x404040, 0x909090, 0x000000,            // pwm_limit, setpoint_limit, position_wrap
};

QString number(std::int64_t v) { return QString::number(static_cast<qlonglong>(v)); }

}  // namespace

EventLanes::EventLanes(TChart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // The strip is no child of the chart: it hears of zoom, pan and range
    // changes through the chart's notice (passed on to whoever listened
    // before), and of the plot's new size through the chart's resizes.
    QPointer<EventLanes> self(this);
    chart_.OnViewChange = [self, previous = std::move(chart_.OnViewChange)] {
        if (previous) previous();
        if (self && self->isVisible()) self->update();
    };
    chart_.Widget()->installEventFilter(this);
}

bool EventLanes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chart_.Widget() && event->type() == QEvent::Resize && isVisible() && !followPending_) {
        followPending_ = true;
        QMetaObject::invokeMethod(this, [this] { follow_chart(); }, Qt::QueuedConnection);
    }
    return false;
}

void EventLanes::follow_chart() {
    followPending_ = false;
    if (isVisible() && !(span() == drawn_)) update();
}

QColor EventLanes::lane_color(int event) { return QColor::fromRgb(kLaneColors[event]); }

void EventLanes::clear() {
    for (auto& lane : lanes_) lane.clear();
    update();
}

void EventLanes::add_pass(std::int64_t pass, double time, const PassEvents& events) {
    if (events.raised == 0) return;
    for (int event = 0; event < kRegulationEventCount; ++event) {
        if (events.has(event)) lanes_[event].push_back({time, pass, events.values[static_cast<std::size_t>(event)]});
    }
    if (!isVisible()) return;
    // Only the new tick's column; a view that moves repaints the whole strip.
    const Span& s = drawn_;
    if (s.right > s.left && s.xMax > s.xMin && time >= s.xMin && time <= s.xMax) {
        const int column = s.left + static_cast<int>(std::lround((time - s.xMin) / (s.xMax - s.xMin) * (s.right - s.left)));
        update(column - 1, 0, 3, height());
    } else {
        update();
    }
}

EventLanes::Span EventLanes::span() {
    const ChartView view = chart_.View();
    const TRect plot = chart_.PlotArea();
    // The strip sits under the chart; both start at the same left edge of
    // their parent, so the chart's columns are the strip's shifted by that.
    const int shift = chart_.Widget()->x() - x();
    return {plot.Left + shift, plot.Right - 1 + shift, view.XMin, view.XMax};
}

int EventLanes::lane_at(int y) const {
    if (y < lane_top(0)) return -1;
    const int lane = (y - lane_top(0)) / kLaneHeight;
    return lane < kRegulationEventCount ? lane : -1;
}

std::optional<LaneTick> EventLanes::tick_at(int lane, int x) {
    if (lane < 0 || lane >= kRegulationEventCount) return std::nullopt;
    const Span s = span();
    if (x < s.left || x > s.right || s.right <= s.left) return std::nullopt;
    const double perPixel = (s.xMax - s.xMin) / (s.right - s.left);
    // Ticks are drawn one pixel wide at their rounded column: take the first
    // one whose column is x, or the nearest one beside it.
    const double lo = s.xMin + (x - s.left - 1.5) * perPixel;
    const double hi = s.xMin + (x - s.left + 1.5) * perPixel;
    const auto& ticks = lanes_[lane];
    const auto first = std::lower_bound(ticks.begin(), ticks.end(), lo,
                                        [](const LaneTick& t, double v) { return t.time < v; });
    std::optional<LaneTick> best;
    double bestDistance = 0;
    for (auto it = first; it != ticks.end() && it->time <= hi; ++it) {
        const double d = std::fabs(it->time - (s.xMin + (x - s.left) * perPixel));
        if (!best || d < bestDistance) {
            best = *it;
            bestDistance = d;
        }
    }
    return best;
}

QString EventLanes::hover_text(QPoint at) {
    const int lane = lane_at(at.y());
    if (lane < 0) return {};
    const QString name = QString::fromLatin1(regulation_event_name(lane));
    const std::optional<LaneTick> tick = tick_at(lane, at.x());
    if (!tick) return name;
    return QString("%1 at pass %2, %3 ms: %4 became %5")
        .arg(name, number(tick->pass), QString::number(tick->time), number(tick->values.before),
             number(tick->values.after));
}

bool EventLanes::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = hover_text(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void EventLanes::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, Qt::white);
    const Span s = span();
    drawn_ = s;
    // Three groups, named in the margin left of the plot: the speed loop's
    // four lanes, the position loop's four, the three limits.
    const struct {
        int first, count;
        const char* name;
    } groups[] = {{SPEED_E_WRAP, 4, "speed"}, {POSITION_E_WRAP, 4, "position"}, {PWM_LIMIT, 3, "limits"}};
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    for (const auto& group : groups) {
        const QRect label(0, lane_top(group.first), std::max(0, s.left - 4), group.count * kLaneHeight);
        painter.setPen(QColor(0x60, 0x60, 0x60));
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, group.name);
        painter.setPen(QColor(0xE8, 0xE8, 0xE8));
        painter.drawLine(s.left, lane_top(group.first) - 1, s.right, lane_top(group.first) - 1);
    }
    if (s.right <= s.left || !(s.xMax > s.xMin)) return;
    const double perPixel = (s.xMax - s.xMin) / (s.right - s.left);
    // Only the columns asked for: a pass repaints one.
    const double from = std::max(s.xMin, s.xMin + (area.left() - s.left) * perPixel) - perPixel / 2;
    const double to = std::min(s.xMax, s.xMin + (area.right() - s.left) * perPixel) + perPixel / 2;
    for (int lane = 0; lane < kRegulationEventCount; ++lane) {
        const auto& ticks = lanes_[lane];
        const QColor color = lane_color(lane);
        const int top = lane_top(lane);
        // One look-up per drawn column, so a lane of a million ticks costs
        // no more than the strip's width.
        auto it = std::lower_bound(ticks.begin(), ticks.end(), from,
                                   [](const LaneTick& t, double v) { return t.time < v; });
        while (it != ticks.end() && it->time <= to) {
            const int column = s.left + static_cast<int>(std::lround((it->time - s.xMin) / perPixel));
            painter.fillRect(column, top, 1, kLaneHeight - 1, color);
            const double nextColumnStart = s.xMin + (column - s.left + 0.5) * perPixel;
            it = std::lower_bound(it + 1, ticks.end(), nextColumnStart,
                                  [](const LaneTick& t, double v) { return t.time < v; });
        }
    }
}
