#include "analysis/gain_map_view.h"

#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeft = 40, kBottom = 30, kTop = 8, kScaleWidth = 12, kScaleGap = 8, kScaleLabels = 60;
constexpr QRgb kUndefinedGrey = 0xFFC8C8C8;

// A perceptually even dark-blue to yellow scale, low values dark.
constexpr QRgb kStops[] = {0xFF440154, 0xFF3B528B, 0xFF21918C, 0xFF5EC962, 0xFFFDE725};

QRgb scale_colour(double t) {
    t = std::clamp(t, 0.0, 1.0) * (std::size(kStops) - 1);
    const auto i = std::min<std::size_t>(static_cast<std::size_t>(t), std::size(kStops) - 2);
    const double f = t - static_cast<double>(i);
    auto mix = [f](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * f)); };
    const QRgb a = kStops[i], b = kStops[i + 1];
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

// Short enough for the scale's margin: 4214.2, 150.4k, 1.25M.
QString number_text(double v) {
    if (std::abs(v) >= 1e6) return QString::number(v / 1e6, 'g', 3) + "M";
    if (std::abs(v) >= 1e4) return QString::number(v / 1e3, 'f', 1) + "k";
    return QString::number(v, 'g', 5);
}

}  // namespace

GainMapView::GainMapView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(220, 200);
    setCursor(Qt::CrossCursor);
}

void GainMapView::reset(const Axis& x, const Axis& y, const QString& metric) {
    x_ = x;
    y_ = y;
    metric_ = metric;
    const auto cells = static_cast<std::size_t>(x.size) * static_cast<std::size_t>(y.size);
    states_.assign(cells, State::Empty);
    values_.assign(cells, 0.0);
    if (!held_) low_ = high_ = 0;
    imageValid_ = false;
    filled_ = 0;
    valued_ = 0;
    update();
}

void GainMapView::set_cell(int ix, int iy, std::optional<double> value) {
    if (ix < 0 || iy < 0 || ix >= x_.size || iy >= y_.size) return;
    const auto i = static_cast<std::size_t>(iy) * static_cast<std::size_t>(x_.size) + static_cast<std::size_t>(ix);
    if (states_[i] == State::Empty) ++filled_;
    const bool first = valued_ == 0;
    if (value && states_[i] != State::Value) ++valued_;
    states_[i] = value ? State::Value : State::Undefined;
    if (value) {
        values_[i] = *value;
        if (!held_) {
            low_ = first ? *value : std::min(low_, *value);
            high_ = first ? *value : std::max(high_, *value);
        }
    }
    if (imageValid_ && low_ == imageLow_ && high_ == imageHigh_) {
        reinterpret_cast<QRgb*>(image_.scanLine(y_.size - 1 - iy))[ix] =
            value ? colour_of(*value) : kUndefinedGrey;
    }
    update();
}

void GainMapView::hold_scale() { held_ = held_ || valued_ > 0; }

void GainMapView::fit_scale() {
    held_ = false;
    bool first = true;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (states_[i] != State::Value) continue;
        low_ = first ? values_[i] : std::min(low_, values_[i]);
        high_ = first ? values_[i] : std::max(high_, values_[i]);
        first = false;
    }
    update();
}

void GainMapView::set_cross(std::optional<QPointF> gains) {
    if (gains == cross_) return;
    cross_ = gains;
    update();
}

QRect GainMapView::plot_rect() const {
    return QRect(kLeft, kTop, std::max(10, width() - kLeft - kScaleGap - kScaleWidth - kScaleLabels),
                 std::max(10, height() - kTop - kBottom));
}

bool GainMapView::cell_at(QPoint pos, int& ix, int& iy) const {
    const QRect r = plot_rect();
    if (states_.empty() || !r.contains(pos)) return false;
    ix = std::min(x_.size - 1, (pos.x() - r.left()) * x_.size / r.width());
    iy = std::min(y_.size - 1, (r.bottom() - pos.y()) * y_.size / r.height());  // y grows upwards
    return true;
}

// A logarithmic scale over the distance from the lowest value: metrics like
// IAE span decades between stable and barely stable gains, and a linear
// scale would paint all the good region one colour.
double GainMapView::scale_position(double value) const {
    return high_ > low_ ? std::log1p(std::clamp(value, low_, high_) - low_) / std::log1p(high_ - low_) : 0.5;
}

double GainMapView::scale_value(double position) const { return low_ + std::expm1(position * std::log1p(high_ - low_)); }

QRgb GainMapView::colour_of(double value) const { return scale_colour(scale_position(value)); }

QPointF GainMapView::to_widget(double gainX, double gainY) const {
    const QRectF r = plot_rect();
    // Cell k spans [k, k + 1) of the axis; its gain value sits at its middle.
    const double cx = ((gainX - x_.from) / x_.step + 0.5) / x_.size;
    const double cy = ((gainY - y_.from) / y_.step + 0.5) / y_.size;
    return {r.left() + cx * r.width(), r.top() + r.height() - cy * r.height()};
}

void GainMapView::colour_cells() {
    if (image_.width() != x_.size || image_.height() != y_.size) image_ = QImage(x_.size, y_.size, QImage::Format_ARGB32);
    for (int iy = 0; iy < y_.size; ++iy) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y_.size - 1 - iy));
        for (int ix = 0; ix < x_.size; ++ix) {
            const auto i = static_cast<std::size_t>(iy) * static_cast<std::size_t>(x_.size) + static_cast<std::size_t>(ix);
            line[ix] = states_[i] == State::Value       ? colour_of(values_[i])
                       : states_[i] == State::Undefined ? kUndefinedGrey
                                                         : 0xFFFFFFFF;
        }
    }
    imageValid_ = true;
    imageLow_ = low_;
    imageHigh_ = high_;
}

void GainMapView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QRect r = plot_rect();
    p.fillRect(r, Qt::white);
    if (!states_.empty()) {
        if (!imageValid_ || low_ != imageLow_ || high_ != imageHigh_) colour_cells();
        p.drawImage(r, image_);
        // Undefined cells hatched, so they read apart from any colour of the scale.
        p.setPen(Qt::NoPen);
        p.setBrush(QBrush(QColor(90, 90, 90), Qt::BDiagPattern));
        const double cw = double(r.width()) / x_.size, ch = double(r.height()) / y_.size;
        for (int iy = 0; iy < y_.size; ++iy) {
            for (int ix = 0; ix < x_.size; ++ix) {
                const auto i = static_cast<std::size_t>(iy) * static_cast<std::size_t>(x_.size) + static_cast<std::size_t>(ix);
                if (states_[i] != State::Undefined) continue;
                p.drawRect(QRectF(r.left() + ix * cw, r.top() + r.height() - (iy + 1) * ch, cw, ch));
            }
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    p.drawRect(r.adjusted(0, 0, -1, -1));

    // Axes: the first and last value of each, and the gains' names.
    const QFontMetrics fm(font());
    if (!states_.empty()) {
        const int xLast = x_.from + (x_.size - 1) * x_.step, yLast = y_.from + (y_.size - 1) * y_.step;
        p.drawText(QRect(r.left(), r.bottom() + 2, 60, fm.height()), Qt::AlignLeft, QString::number(x_.from));
        p.drawText(QRect(r.right() - 60, r.bottom() + 2, 60, fm.height()), Qt::AlignRight, QString::number(xLast));
        p.drawText(QRect(r.left(), r.bottom() + 2, r.width(), fm.height() * 2), Qt::AlignHCenter | Qt::AlignBottom, x_.name);
        p.drawText(QRect(0, r.bottom() - fm.height(), kLeft - 3, fm.height()), Qt::AlignRight, QString::number(y_.from));
        p.drawText(QRect(0, r.top(), kLeft - 3, fm.height()), Qt::AlignRight, QString::number(yLast));
        p.drawText(QRect(0, r.center().y() - fm.height() / 2, kLeft - 3, fm.height()), Qt::AlignRight, y_.name);
    }

    // The colour scale, low at the bottom.
    const QRect scale(r.right() + kScaleGap, r.top(), kScaleWidth, r.height());
    for (int y = 0; y < scale.height(); ++y) {
        p.setPen(QColor(scale_colour(1.0 - double(y) / std::max(1, scale.height() - 1))));
        p.drawLine(scale.left(), scale.top() + y, scale.right(), scale.top() + y);
    }
    p.setPen(Qt::black);
    p.drawRect(scale.adjusted(0, 0, -1, -1));
    const QRect labels(scale.right() + 3, r.top(), kScaleLabels, r.height());
    const bool any = valued_ > 0 || held_;
    if (any) {
        p.drawText(labels, Qt::AlignTop | Qt::AlignLeft, number_text(high_));
        p.drawText(labels, Qt::AlignBottom | Qt::AlignLeft, number_text(low_));
        if (high_ > low_) {
            p.drawText(QRect(labels.left(), r.center().y() - fm.height() / 2, labels.width(), fm.height()),
                       Qt::AlignLeft, number_text(scale_value(0.5)));
            p.drawLine(scale.left() - 2, r.center().y(), scale.left(), r.center().y());
        }
    }
    p.save();
    p.translate(width() - fm.descent() - 1, r.center().y());
    p.rotate(-90);
    p.drawText(QRect(-r.height() / 2, -fm.height(), r.height(), fm.height()), Qt::AlignCenter, metric_ + ", log scale");
    p.restore();

    // The edits' gains: a cross, white under black so it shows on any colour.
    if (cross_ && !states_.empty()) {
        const QPointF c = to_widget(cross_->x(), cross_->y());
        if (r.adjusted(-1, -1, 1, 1).contains(c.toPoint())) {
            for (const auto& [colour, width] : {std::pair{Qt::white, 4}, std::pair{Qt::black, 2}}) {
                p.setPen(QPen(colour, width));
                p.drawLine(c + QPointF(-7, -7), c + QPointF(7, 7));
                p.drawLine(c + QPointF(-7, 7), c + QPointF(7, -7));
            }
        }
    }
}

void GainMapView::mousePressEvent(QMouseEvent* event) {
    int ix = 0, iy = 0;
    if (event->button() == Qt::LeftButton && cell_at(event->position().toPoint(), ix, iy) && onCellClicked) {
        onCellClicked(ix, iy);
    }
}

bool GainMapView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        int ix = 0, iy = 0;
        if (cell_at(help->pos(), ix, iy) && describeCell) {
            QToolTip::showText(help->globalPos(), describeCell(ix, iy), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}
