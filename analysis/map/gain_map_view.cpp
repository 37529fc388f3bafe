#include "analysis/map/gain_map_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kLeft = 40, kBottom = 30, kTop = 26, kScaleWidth = 12, kScaleGap = 8;
constexpr int kTick = 3;
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

// Short enough for the scale's margin: 4214.2, 150.4k, 1.25M; more digits
// where fewer would not tell two values apart.
QString number_text(double v, int digits = 5) {
    if (std::abs(v) >= 1e6) return QString::number(v / 1e6, 'g', digits - 2) + "M";
    if (std::abs(v) >= 1e4) return QString::number(v / 1e3, 'g', digits - 1) + "k";
    return QString::number(v, 'g', digits);
}

// The 1-2-5 values (1, 2 and 5 times a power of ten, and their negatives)
// within [lo, hi], the roundest first: every power of ten, then the fives,
// then the twos, over twelve decades down from the largest magnitude. On the
// logarithmic bar they fall about evenly, as a log axis' ticks do.
std::vector<double> round_values(double lo, double hi) {
    std::vector<double> out;
    const double span = std::max(std::abs(lo), std::abs(hi));
    if (!(span > 0) || !std::isfinite(span)) return out;
    if (lo <= 0 && 0 <= hi) out.push_back(0);
    const int top = static_cast<int>(std::floor(std::log10(span)));
    for (double m : {1.0, 5.0, 2.0}) {
        for (int k = top; k > top - 12; --k) {
            for (double v : {m * std::pow(10.0, k), -m * std::pow(10.0, k)}) {
                if (lo <= v && v <= hi) out.push_back(v);
            }
        }
    }
    return out;
}

// A 1-2-5 step for labels at least `minGap` pixels apart when `unitPixels`
// pixels span one unit; whole numbers only.
int whole_step(double unitPixels, int minGap) {
    for (int unit = 1;; unit *= 10) {
        for (int m : {1, 2, 5}) {
            if (m * unit * unitPixels >= minGap || m * unit >= 100'000'000) return m * unit;
        }
    }
}

}  // namespace

GainMapView::GainMapView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(220, 160);
    setCursor(Qt::CrossCursor);
    auto* corner = new QHBoxLayout;
    corner->setContentsMargins(0, 0, 0, 0);
    corner->addStretch(1);
    wrapsButton_ = new QToolButton(this);
    wrapsButton_->setText("Wraps");
    wrapsButton_->setCheckable(true);
    wrapsButton_->setToolTip("Outline the cells whose run wraps a 16-bit value");
    corner->addWidget(wrapsButton_);
    enlargeButton_ = new QToolButton(this);
    enlargeButton_->setText("Enlarge");
    enlargeButton_->setToolTip("Show the map in a window of its own");
    corner->addWidget(enlargeButton_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 2, 0);
    column->addLayout(corner);
    column->addStretch(1);
    connect(wrapsButton_, &QToolButton::toggled, this, [this](bool on) { set_show_wraps(on); });
    connect(enlargeButton_, &QToolButton::clicked, this, [this] { enlarge(); });
}

void GainMapView::set_preferred_height(int height) {
    if (height == preferredHeight_) return;
    preferredHeight_ = height;
    updateGeometry();
}

void GainMapView::set_show_wraps(bool on) {
    showWraps_ = on;
    if (wrapsButton_->isChecked() != on) wrapsButton_->setChecked(on);
    update();
}

std::optional<QPoint> GainMapView::best_cell() const {
    std::optional<QPoint> best;
    double lowest = 0;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (states_[i] != State::Value || (best && values_[i] >= lowest)) continue;
        lowest = values_[i];
        best = QPoint(static_cast<int>(i % static_cast<std::size_t>(x_.size)), static_cast<int>(i / static_cast<std::size_t>(x_.size)));
    }
    return best;
}

QString GainMapView::bar_title() const { return valued_ > 0 || held_ ? metric_ + ", log scale" : metric_; }

// The ends first, told apart by as many digits as it takes; then 1-2-5
// values, the roundest first, then multiples of finer and finer 1-2-5 steps
// (so that a narrow scale, after "Rescale", is labelled between its ends
// too), wherever a label has room and says something no other label says.
// Each label's text lies within the bar's height: the ends' labels are
// drawn inside it rather than across its edges.
std::vector<GainMapView::BarLabel> GainMapView::bar_labels() const {
    std::vector<BarLabel> out;
    if (valued_ == 0 && !held_) return out;
    const QRect r = plot_rect();
    const int line = fontMetrics().height();
    auto height_of = [&](double v) {
        return r.bottom() - static_cast<int>(std::lround(scale_position(v) * (r.height() - 1)));
    };
    auto top_of = [&](int y) { return std::clamp(y - line / 2, r.top(), std::max(r.top(), r.bottom() + 1 - line)); };
    if (high_ <= low_) {
        const int y = height_of(low_);
        out.push_back({low_, number_text(low_), y, top_of(y)});
        return out;
    }
    int digits = 5;
    while (digits < 15 && number_text(high_, digits) == number_text(low_, digits)) ++digits;
    out.push_back({high_, number_text(high_, digits), r.top(), top_of(r.top())});
    out.push_back({low_, number_text(low_, digits), r.bottom(), top_of(r.bottom())});
    std::vector<double> candidates = round_values(low_, high_);
    const int decade = static_cast<int>(std::floor(std::log10(high_ - low_)));
    for (int k = decade; k > decade - 3; --k) {
        for (const double m : {5.0, 2.0, 1.0}) {
            const double step = m * std::pow(10.0, k);
            for (double v = std::ceil(low_ / step) * step; v <= high_ && candidates.size() < 400; v += step) {
                candidates.push_back(v);
            }
        }
    }
    for (const double v : candidates) {
        if (v <= low_ || v >= high_) continue;
        const int y = height_of(v);
        const QString text = number_text(v);
        const int top = top_of(y);
        const bool crowded = std::any_of(out.begin(), out.end(), [&](const BarLabel& l) {
            return std::abs(l.top - top) < line || l.text == text;
        });
        if (!crowded) out.push_back({v, text, y, top});
    }
    std::sort(out.begin(), out.end(), [](const BarLabel& a, const BarLabel& b) { return a.y < b.y; });
    return out;
}

std::vector<int> GainMapView::axis_ticks(bool yAxis) const {
    std::vector<int> out;
    const Axis& a = yAxis ? y_ : x_;
    if (states_.empty() || a.size < 1) return out;
    const QRect r = plot_rect();
    const int last = a.from + (a.size - 1) * a.step;
    const int lo = std::min(a.from, last), hi = std::max(a.from, last);
    const double pixels = (yAxis ? r.height() : r.width()) / double(a.size) / std::max(1, std::abs(a.step));
    const int gap = yAxis ? 2 * fontMetrics().height() : fontMetrics().horizontalAdvance(QString::number(hi)) * 2 + 8;
    const int step = whole_step(pixels, gap);
    for (long long v = (lo / step) * static_cast<long long>(step); v <= hi; v += step) {
        if (v >= lo) out.push_back(static_cast<int>(v));
    }
    return out;
}

void GainMapView::enlarge() {
    if (window_) {
        window_->close();  // back to its place
        return;
    }
    QWidget* home = parentWidget();
    QLayout* layout = home ? home->layout() : nullptr;
    if (!layout) return;
    placeholder_ = new QLabel("The map is in its own window.", home);
    delete layout->replaceWidget(this, placeholder_);  // the old item is ours to free
    window_ = new QWidget(nullptr, Qt::Window);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    window_->setWindowTitle("Gain map – " + metric_);
    auto* column = new QVBoxLayout(window_);
    column->addWidget(this);
    show();
    window_->installEventFilter(this);
    // Should the section go while the map is away, the map goes with it.
    connect(placeholder_, &QObject::destroyed, window_, [this] {
        onCellClicked = nullptr;
        describeCell = nullptr;
        placeholder_ = nullptr;
        window_->removeEventFilter(this);
        window_->deleteLater();
    });
    enlargeButton_->setText("Return");
    enlargeButton_->setToolTip("Put the map back in the panel");
    window_->resize(760, 680);
    window_->show();
}

// The enlarged map's window closes: the map goes back to its place.
bool GainMapView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Close && placeholder_) {
        QWidget* home = placeholder_->parentWidget();
        window_->layout()->removeWidget(this);
        setParent(home);
        delete home->layout()->replaceWidget(placeholder_, this);
        show();
        placeholder_->disconnect(window_);
        placeholder_->deleteLater();
        placeholder_ = nullptr;
        window_ = nullptr;
        enlargeButton_->setText("Enlarge");
        enlargeButton_->setToolTip("Show the map in a window of its own");
    }
    return QWidget::eventFilter(watched, event);
}

void GainMapView::reset(const Axis& x, const Axis& y, const QString& metric, bool keepPicture) {
    if (keepPicture && filled_ > 0) {
        if (!imageValid_ || low_ != imageLow_ || high_ != imageHigh_) colour_cells();
        if (backdrop_.isNull()) {
            backdrop_ = image_.copy();
        } else {
            // A map that had not covered the one before it: what it has, over that one.
            QPainter over(&backdrop_);
            over.drawImage(backdrop_.rect(), image_);
        }
    } else if (!keepPicture) {
        backdrop_ = QImage();
    }
    x_ = x;
    y_ = y;
    metric_ = metric;
    const auto cells = static_cast<std::size_t>(x.size) * static_cast<std::size_t>(y.size);
    states_.assign(cells, State::Empty);
    values_.assign(cells, 0.0);
    wraps_.assign(cells, false);
    if (!held_) low_ = high_ = 0;
    imageValid_ = false;
    filled_ = 0;
    valued_ = 0;
    update();
}

void GainMapView::drop_kept_picture() {
    backdrop_ = QImage();
    update();
}

void GainMapView::set_cells(std::span<const Cell> cells) {
    for (const Cell& cell : cells) {
        const auto [ix, iy] = std::pair{cell.ix, cell.iy};
        if (ix < 0 || iy < 0 || ix >= x_.size || iy >= y_.size) continue;
        const auto i = static_cast<std::size_t>(iy) * static_cast<std::size_t>(x_.size) + static_cast<std::size_t>(ix);
        if (states_[i] == State::Empty && ++filled_ == static_cast<int>(states_.size())) backdrop_ = QImage();  // covered
        const bool first = valued_ == 0;
        if (cell.value && states_[i] != State::Value) ++valued_;
        states_[i] = cell.value ? State::Value : State::Undefined;
        wraps_[i] = cell.wraps;
        if (cell.value) {
            values_[i] = *cell.value;
            if (!held_) {
                low_ = first ? *cell.value : std::min(low_, *cell.value);
                high_ = first ? *cell.value : std::max(high_, *cell.value);
            }
        }
        if (imageValid_ && low_ == imageLow_ && high_ == imageHigh_) {
            reinterpret_cast<QRgb*>(image_.scanLine(y_.size - 1 - iy))[ix] = cell.value ? colour_of(*cell.value) : kUndefinedGrey;
        }
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

// Room for the bar's labels beside it: the widest a label can be in this font.
int GainMapView::label_room() const { return fontMetrics().horizontalAdvance("-8888.88k") + 2; }

QRect GainMapView::plot_rect() const {
    // Right of the bar: its ticks, the labels, and the title turned upright.
    const int beside = kScaleGap + kScaleWidth + kTick + 2 + label_room() + fontMetrics().height() + 2;
    return QRect(kLeft, kTop, std::max(10, width() - kLeft - beside), std::max(10, height() - kTop - kBottom));
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

// A full map is coloured anew whenever its scale moves: from a table of the
// scale's colours, finer than the eye tells apart.
QRgb GainMapView::colour_of(double value) const {
    static const std::array<QRgb, 1024> colours = [] {
        std::array<QRgb, 1024> table{};
        for (std::size_t i = 0; i < table.size(); ++i) table[i] = scale_colour(double(i) / double(table.size() - 1));
        return table;
    }();
    return colours[static_cast<std::size_t>(std::lround(scale_position(value) * double(colours.size() - 1)))];
}

QPointF GainMapView::to_widget(double gainX, double gainY) const {
    const QRectF r = plot_rect();
    // Cell k spans [k, k + 1) of the axis; its gain value sits at its middle.
    const double cx = ((gainX - x_.from) / x_.step + 0.5) / x_.size;
    const double cy = ((gainY - y_.from) / y_.step + 0.5) / y_.size;
    return {r.left() + cx * r.width(), r.top() + r.height() - cy * r.height()};
}

void GainMapView::colour_cells() {
    if (image_.width() != x_.size || image_.height() != y_.size) image_ = QImage(x_.size, y_.size, QImage::Format_ARGB32_Premultiplied);
    for (int iy = 0; iy < y_.size; ++iy) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y_.size - 1 - iy));
        for (int ix = 0; ix < x_.size; ++ix) {
            const auto i = static_cast<std::size_t>(iy) * static_cast<std::size_t>(x_.size) + static_cast<std::size_t>(ix);
            line[ix] = states_[i] == State::Value       ? colour_of(values_[i])
                       : states_[i] == State::Undefined ? kUndefinedGrey
                                                         : 0x00000000;
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
        if (!backdrop_.isNull()) p.drawImage(r, backdrop_);
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

    // Axes: ticks at round gain values, and the gains' names.
    const QFontMetrics fm(font());
    if (!states_.empty()) {
        for (int v : axis_ticks(false)) {
            const int x = static_cast<int>(std::lround(to_widget(v, y_.from).x()));
            p.drawLine(x, r.bottom() + 1, x, r.bottom() + kTick);
            p.drawText(QRect(x - 40, r.bottom() + kTick, 80, fm.height()), Qt::AlignHCenter, QString::number(v));
        }
        p.drawText(QRect(r.left(), r.bottom() + 2, r.width(), fm.height() * 2), Qt::AlignHCenter | Qt::AlignBottom, x_.name);
        for (int v : axis_ticks(true)) {
            const int y = static_cast<int>(std::lround(to_widget(x_.from, v).y()));
            p.drawLine(r.left() - kTick, y, r.left() - 1, y);
            p.drawText(QRect(0, y - fm.height() / 2, kLeft - kTick - 2, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(v));
        }
        p.drawText(QRect(0, r.top() - fm.height() - 4, kLeft + 40, fm.height()), Qt::AlignLeft, y_.name);
    }

    // The colour scale, low at the bottom.
    const QRect scale(r.right() + kScaleGap, r.top(), kScaleWidth, r.height());
    for (int y = 0; y < scale.height(); ++y) {
        p.setPen(QColor(scale_colour(1.0 - double(y) / std::max(1, scale.height() - 1))));
        p.drawLine(scale.left(), scale.top() + y, scale.right(), scale.top() + y);
    }
    p.setPen(Qt::black);
    p.drawRect(scale.adjusted(0, 0, -1, -1));
    for (const BarLabel& label : bar_labels()) {
        p.drawLine(scale.right() + 1, label.y, scale.right() + kTick, label.y);
        p.drawText(QRect(scale.right() + kTick + 2, label.top, label_room(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   label.text);
    }
    p.save();
    p.translate(width() - fm.descent() - 1, r.center().y());
    p.rotate(-90);
    p.drawText(QRect(-r.height() / 2, -fm.height(), r.height(), fm.height()), Qt::AlignCenter, bar_title());
    p.restore();

    if (!states_.empty()) {
        const double cw = double(r.width()) / x_.size, ch = double(r.height()) / y_.size;
        auto cell_rect = [&](int ix, int iy) { return QRectF(r.left() + ix * cw, r.top() + r.height() - (iy + 1) * ch, cw, ch); };
        // Cells whose run wraps: outlined in red, inside the cell.
        if (showWraps_) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(220, 0, 0), std::clamp(std::min(cw, ch) / 6, 1.0, 3.0)));
            for (std::size_t i = 0; i < wraps_.size(); ++i) {
                if (!wraps_[i]) continue;
                const auto ix = static_cast<int>(i % static_cast<std::size_t>(x_.size));
                const auto iy = static_cast<int>(i / static_cast<std::size_t>(x_.size));
                p.drawRect(cell_rect(ix, iy).adjusted(1, 1, -1, -1));
            }
        }
        // The best cell: a ring, white under black, at least as big as a finger tip.
        if (const std::optional<QPoint> best = best_cell()) {
            const QRectF cell = cell_rect(best->x(), best->y());
            const double radius = std::clamp(std::min(cw, ch) / 2 - 1, 5.0, 14.0);
            p.setBrush(Qt::NoBrush);
            for (const auto& [colour, width] : {std::pair{Qt::white, 4}, std::pair{Qt::black, 2}}) {
                p.setPen(QPen(colour, width));
                p.drawEllipse(cell.center(), radius, radius);
            }
        }
    }

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
