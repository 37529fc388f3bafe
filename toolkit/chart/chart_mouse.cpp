// The chart widget's mouse: wheel zoom, drag pan, legend clicks, cursor
// drags and the double-click fit (see chart_widget.h).
#include "toolkit/chart/chart_widget.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double kZoomStep = 1.25;  // span shown after one wheel notch back; forward is its inverse

double span_of(const AxisRange& r) { return r.hi - r.lo; }

}  // namespace

QPointF ChartWidget::value_at(QPointF at) const {
    const ChartLayout now = layout_now();
    return QPointF(now.xMap.value(at.x()), now.yMap.value(at.y()));
}

void ChartWidget::zoom_at(QPointF at, double xFactor, double yFactor) {
    grow_ranges();
    place_view(span_of(shown_x()) * xFactor, span_of(shown_y()) * yFactor, value_at(at), at);
}

bool ChartWidget::place_view(double xSpan, double ySpan, QPointF value, QPointF at) {
    // The plot's top and bottom do not depend on the ranges; its left edge
    // follows the width of the Y labels, so X is placed in the layout the
    // new Y range gives (the right-hand axis follows the left one).
    const ChartLayout now = layout_now();
    const AxisRange y = anchored_range(ySpan, value.y(), at.y(), now.data.bottom(), now.data.top());
    const ChartLayout placed = layout_for(shown_x(), y, view_.right_following(y));
    const AxisRange x = anchored_range(xSpan, value.x(), at.x(), placed.data.left(), placed.data.right());
    return set_view(x, y);
}

void ChartWidget::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    // A modifier may turn the wheel into a horizontal one on some platforms.
    const int eighths = delta.y() != 0 ? delta.y() : delta.x();  // 120 a notch
    if (eighths == 0) {
        event->ignore();
        return;
    }
    const double factor = std::pow(kZoomStep, -eighths / 120.0);
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    zoom_at(event->position(), ctrl && !shift ? 1 : factor, shift && !ctrl ? 1 : factor);
    event->accept();
}

int ChartWidget::cursor_at(QPointF at) const {
    if (!layout_.plot.adjusted(-kCursorGrip, 0, kCursorGrip, 0).contains(at.toPoint())) return -1;
    for (int which : {1, 0}) {
        const std::optional<double> x = view_.cursor(which);
        if (x && std::abs(layout_.xMap.pixel(*x) - at.x()) <= kCursorGrip) return which;
    }
    return -1;
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    update_picture();
    if (const int entry = legend_entry_at(layout_, event->position()); entry >= 0) {
        const LegendItem item = layout_.legendItems[static_cast<std::size_t>(entry)];
        if (item.kind == LegendItem::kSeries) {
            TLineSeries& series = *model_.Series(item.index);
            series.SetVisible(!series.Visible());
        } else if (item.kind == LegendItem::kHeading) {
            model_.set_overlays_folded(!model_.overlays_folded());
        }
        update();
        event->accept();
        return;
    }
    if (const int which = cursor_at(event->position()); which >= 0) {
        cursorDrag_ = which;
        setCursor(Qt::SizeHorCursor);
        event->accept();
        return;
    }
    drag_ = Drag{event->position(), value_at(event->position()), span_of(shown_x()), span_of(shown_y()), false};
    event->accept();
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    if (cursorDrag_ >= 0 && event->buttons().testFlag(Qt::LeftButton)) {
        set_cursor(cursorDrag_, value_at(event->position()).x());
        event->accept();
        return;
    }
    if (!drag_ || !event->buttons().testFlag(Qt::LeftButton)) {
        event->ignore();
        return;
    }
    const QPointF at = event->position();
    if (!drag_->panning) {
        // A click that wobbles a pixel or two is no pan.
        if ((at - drag_->from).manhattanLength() < QApplication::startDragDistance()) return;
        drag_->panning = true;
        setCursor(Qt::ClosedHandCursor);
    }
    place_view(drag_->xSpan, drag_->ySpan, drag_->value, at);
    event->accept();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if ((drag_ && drag_->panning) || cursorDrag_ >= 0) unsetCursor();
    if (drag_ && !drag_->panning && dot_clicked) {
        if (const auto dot = dot_at(drag_->from, kDotReach)) dot_clicked(dot->first, dot->second);
    }
    drag_.reset();
    cursorDrag_ = -1;
    event->accept();
}

void ChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    drag_.reset();
    if (const int which = cursor_at(event->position()); which >= 0) {
        // A double-click on a cursor's line or handle takes it away.
        cursorDrag_ = -1;
        unsetCursor();
        set_cursor(which, std::nullopt);
        event->accept();
        return;
    }
    if (legend_entry_at(layout_, event->position()) >= 0) {
        // The second click of a quick pair on the legend switches again.
        mousePressEvent(event);
        return;
    }
    fit_to_data();
    event->accept();
}
