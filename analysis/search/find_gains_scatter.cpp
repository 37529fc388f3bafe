#include "analysis/search/find_gains_scatter.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kClickReach = 8;  // pixels from a point that still pick it

QString number(double v) { return QString::number(v, 'g', 5); }

}  // namespace

FindGainsScatter::FindGainsScatter(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(180);
    setCursor(Qt::CrossCursor);
}

void FindGainsScatter::set_points(std::vector<Point> points, std::vector<Point> front, const Point* best,
                                  const QString& xTitle, const QString& yTitle) {
    points_ = std::move(points);
    front_ = std::move(front);
    best_ = best ? std::optional<Point>(*best) : std::nullopt;
    xTitle_ = xTitle;
    yTitle_ = yTitle;
    xMin_ = yMin_ = INFINITY;
    xMax_ = yMax_ = -INFINITY;
    for (const Point& p : points_) {
        xMin_ = std::min(xMin_, p.x);
        xMax_ = std::max(xMax_, p.x);
        yMin_ = std::min(yMin_, p.y);
        yMax_ = std::max(yMax_, p.y);
    }
    if (points_.empty()) xMin_ = yMin_ = 0, xMax_ = yMax_ = 1;
    labels_ = {xMin_, xMax_, yMin_, yMax_};
    // A little room around the points, and some width where all are equal.
    const auto widen = [](double& low, double& high) {
        const double room = high > low ? (high - low) * 0.04 : std::max(1.0, std::abs(low) * 0.1);
        low -= room;
        high += room;
    };
    widen(xMin_, xMax_);
    widen(yMin_, yMax_);
    update();
}

QRectF FindGainsScatter::plot_rect() const { return QRectF(52, 8, width() - 60, height() - 40); }

QPointF FindGainsScatter::to_widget(double x, double y) const {
    const QRectF r = plot_rect();
    return {r.left() + (x - xMin_) / (xMax_ - xMin_) * r.width(), r.bottom() - (y - yMin_) / (yMax_ - yMin_) * r.height()};
}

void FindGainsScatter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QRectF r = plot_rect();
    p.fillRect(r, Qt::white);
    p.setPen(QColor(150, 150, 150));
    p.drawRect(r);
    p.setPen(Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    if (!points_.empty()) {
        p.drawText(QRectF(0, r.top() - 2, r.left() - 4, fm.height()), Qt::AlignRight, number(labels_[3]));
        p.drawText(QRectF(0, r.bottom() - fm.height() + 2, r.left() - 4, fm.height()), Qt::AlignRight, number(labels_[2]));
        p.drawText(QRectF(r.left(), r.bottom() + 2, r.width(), fm.height()), Qt::AlignLeft, number(labels_[0]));
        p.drawText(QRectF(r.left(), r.bottom() + 2, r.width(), fm.height()), Qt::AlignRight, number(labels_[1]));
    }
    p.drawText(QRectF(r.left(), r.bottom() + 2 + fm.height(), r.width(), fm.height()), Qt::AlignHCenter,
               xTitle_ + " →");
    p.save();
    p.translate(12, r.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-r.height() / 2, -fm.height() / 2, r.height(), fm.height()), Qt::AlignHCenter, yTitle_ + " →");
    p.restore();
    if (points_.empty()) {
        p.drawText(r, Qt::AlignCenter, "No feasible set yet");
        return;
    }
    p.setClipRect(r);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF cloud;
    cloud.reserve(static_cast<qsizetype>(points_.size()));
    for (const Point& pt : points_) cloud << to_widget(pt.x, pt.y);
    p.setPen(QPen(QColor(70, 110, 170, 140), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawPoints(cloud);
    QPolygonF front;
    for (const Point& pt : front_) front << to_widget(pt.x, pt.y);
    p.setPen(QPen(QColor(200, 30, 30), 1.5));
    p.drawPolyline(front);
    p.setPen(QPen(QColor(200, 30, 30), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawPoints(front);
    if (best_) {
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(to_widget(best_->x, best_->y), 6, 6);
    }
}

void FindGainsScatter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !onPointClicked) return;
    const QPointF at = event->position();
    double nearest = kClickReach * kClickReach;
    const Point* chosen = nullptr;
    // The front first, so its points win over the cloud beneath them.
    for (const auto* list : {&front_, &points_}) {
        for (const Point& pt : *list) {
            const QPointF d = to_widget(pt.x, pt.y) - at;
            const double d2 = d.x() * d.x() + d.y() * d.y();
            if (d2 < nearest) {
                nearest = d2;
                chosen = &pt;
            }
        }
        if (chosen) break;
    }
    if (chosen) onPointClicked(chosen->index);
}
