#include "toolkit/paint/canvas.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// TColor is 0x00BBGGRR; the top byte carries no colour and is dropped.
QRgb to_qrgb(TColor c) { return qRgb(color_red(c), color_green(c), color_blue(c)); }
TColor from_qrgb(QRgb p) { return color_from_rgb(qRed(p), qGreen(p), qBlue(p)); }

QColor to_qcolor(TColor c) { return QColor(color_red(c), color_green(c), color_blue(c)); }

// The rows of an image to write to, found with one detach for a whole
// drawing call (scanLine detaches on every call: most of a dot's cost).
class Rows {
public:
    explicit Rows(QImage& image) : bits_(image.bits()), stride_(image.bytesPerLine()) {}
    QRgb* operator[](long long y) const { return reinterpret_cast<QRgb*>(bits_ + y * stride_); }

private:
    uchar* bits_;
    qsizetype stride_;
};

}  // namespace

TCanvas::TCanvas(int width, int height)
    : bitmap_(std::make_unique<QImage>(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32)),
      width_(bitmap_->width()),
      height_(bitmap_->height()) {
    bitmap_->fill(Qt::white);
}

TCanvas::~TCanvas() = default;

int TCanvas::Width() const { return width_; }
int TCanvas::Height() const { return height_; }
const QImage& TCanvas::Bitmap() const { return *bitmap_; }

void TCanvas::SetDotsPerInch(int dpi) {
    const int perMetre = qRound(dpi / 0.0254);
    bitmap_->setDotsPerMeterX(perMetre);
    bitmap_->setDotsPerMeterY(perMetre);
}

TRect TCanvas::ClipRect() const { return {0, 0, Width(), Height()}; }

// Rectangles are formed in 64 bits: points far outside the bitmap must not
// overflow on their way to being clipped.
void TCanvas::changed(long long left, long long top, long long right, long long bottom) {
    if (!OnChange) return;  // nobody to tell
    left = std::max(left, 0LL);
    top = std::max(top, 0LL);
    right = std::min(right, static_cast<long long>(Width()));
    bottom = std::min(bottom, static_cast<long long>(Height()));
    if (left >= right || top >= bottom) return;
    OnChange(TRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom)});
}

void TCanvas::Pixels(int x, int y, TColor color) {
    overviewFill(x, y, x + 1LL, y + 1LL, color);
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    const Rows rows(*bitmap_);
    rows[y][x] = to_qrgb(color);
    changed(x, y, x + 1, y + 1);
}

TColor TCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return NoPixel;
    return from_qrgb(reinterpret_cast<const QRgb*>(bitmap_->constScanLine(y))[x]);
}

void TCanvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void TCanvas::LineTo(int x, int y) {
    overviewLine(penX_, penY_, x, y);
    if (Pen.Width <= 1) {
        thinLine(penX_, penY_, x, y);
    } else if (x == penX_ && y == penY_) {
        dot(x, y);
    } else {
        wideLine(penX_, penY_, x, y);
    }
    penX_ = x;
    penY_ = y;
}

// Bresenham's pixels from (x0, y0) towards (x1, y1), the start included and
// the end left out, so that a polyline sets each joint once. On a tie the
// minor axis steps at once (so A->B and B->A may differ there). Qt's own thin
// lines treat coordinates as pixel corners and keep both ends: not usable.
void TCanvas::thinLine(int x0, int y0, int x1, int y1) {
    if (std::max(x0, x1) < 0 || std::max(y0, y1) < 0 || std::min(x0, x1) >= Width() ||
        std::min(y0, y1) >= Height())
        return;  // wholly outside: nothing to walk
    if (x0 == x1 && y0 == y1) return;
    const std::int64_t dx = std::llabs(std::int64_t{x1} - x0);
    const std::int64_t dy = -std::llabs(std::int64_t{y1} - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    const QRgb color = to_qrgb(Pen.Color);
    const int w = Width();
    const int h = Height();
    const Rows rows(*bitmap_);
    std::int64_t err = dx + dy;
    std::int64_t x = x0;
    std::int64_t y = y0;
    bool entered = false;
    while (x != x1 || y != y1) {
        if (x >= 0 && y >= 0 && x < w && y < h) {
            rows[y][x] = color;
            entered = true;
        } else if (entered) {
            break;  // a straight line does not come back into the rectangle
        }
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    changed(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1LL, std::max(y0, y1) + 1LL);
}

// A zero-length line with a wide pen: a square as wide as the pen, centred
// (an even width leans up and left, as Qt's square cap does).
void TCanvas::dot(int x, int y) {
    const long long w = Pen.Width;
    const long long left = x - w / 2;
    const long long top = y - w / 2;
    overviewFill(left, top, left + w, top + w, Pen.Color);
    const QRgb color = to_qrgb(Pen.Color);
    const long long x0 = std::max(left, 0LL);
    const long long x1 = std::min(left + w, static_cast<long long>(Width()));
    const long long y0 = std::max(top, 0LL);
    const long long y1 = std::min(top + w, static_cast<long long>(Height()));
    const Rows rows(*bitmap_);
    for (long long row = y0; row < y1 && x0 < x1; ++row) std::fill(rows[row] + x0, rows[row] + x1, color);
    changed(left, top, left + w, top + w);
}

void TCanvas::wideLine(int x0, int y0, int x1, int y1) {
    QPainter painter(bitmap_.get());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(to_qcolor(Pen.Color), Pen.Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(x0, y0, x1, y1);
    const long long reach = Pen.Width / 2 + 1;
    changed(std::min(x0, x1) - reach, std::min(y0, y1) - reach, std::max(x0, x1) + reach + 1,
            std::max(y0, y1) + reach + 1);
}

void TCanvas::FillRect(const TRect& rect) {
    if (overview_ && rect.Left <= 0 && rect.Top <= 0 && rect.Right >= Width() && rect.Bottom >= Height()) {
        overview_.reset();
        if (OnOverviewChange) OnOverviewChange();
    }
    overviewFill(rect.Left, rect.Top, rect.Right, rect.Bottom, clWhite);
    const int x0 = std::max(rect.Left, 0);
    const int x1 = std::min(rect.Right, Width());
    const int y0 = std::max(rect.Top, 0);
    const int y1 = std::min(rect.Bottom, Height());
    if (x0 >= x1 || y0 >= y1) return;
    const QRgb white = to_qrgb(clWhite);
    for (int row = y0; row < y1; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(bitmap_->scanLine(row));
        std::fill(line + x0, line + x1, white);
    }
    changed(x0, y0, x1, y1);
}

void TCanvas::KeepOverview(const TRect& area, int reduction) {
    reduction_ = std::max(reduction, 1);
    overviewArea_ = area;
    const int width = std::max(0, (area.Right - area.Left + reduction_ - 1) / reduction_);
    const int height = std::max(0, (area.Bottom - area.Top + reduction_ - 1) / reduction_);
    overview_ = std::make_unique<QImage>(width, height, QImage::Format_RGB32);
    overview_->fill(Qt::white);
    if (OnOverviewChange) OnOverviewChange();
}

// Canvas pixels [left, right) x [top, bottom) in the overview: every
// overview pixel they touch takes the colour.
void TCanvas::overviewFill(long long left, long long top, long long right, long long bottom, TColor color) {
    if (!overview_) return;
    const long long r = reduction_;
    const auto at = [r](long long v, int origin) { return (v - origin) >= 0 ? (v - origin) / r : -((origin - v + r - 1) / r); };
    const long long x0 = std::max(at(left, overviewArea_.Left), 0LL);
    const long long y0 = std::max(at(top, overviewArea_.Top), 0LL);
    const long long x1 = std::min(at(right - 1, overviewArea_.Left) + 1, static_cast<long long>(overview_->width()));
    const long long y1 = std::min(at(bottom - 1, overviewArea_.Top) + 1, static_cast<long long>(overview_->height()));
    if (x0 >= x1 || y0 >= y1) return;
    const QRgb c = to_qrgb(color);
    for (long long row = y0; row < y1; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(overview_->scanLine(static_cast<int>(row)));
        std::fill(line + x0, line + x1, c);
    }
    if (OnOverviewChange) OnOverviewChange();
}

// The same pixels as the bitmap's line (a thin one: Bresenham, the end left
// out; a wide one is marked along its thin middle), walked only where the
// overview holds them.
void TCanvas::overviewLine(int x0, int y0, int x1, int y1) {
    if (!overview_ || (x0 == x1 && y0 == y1)) return;
    const TRect& a = overviewArea_;
    if (std::max(x0, x1) < a.Left || std::max(y0, y1) < a.Top || std::min(x0, x1) >= a.Right ||
        std::min(y0, y1) >= a.Bottom)
        return;
    const std::int64_t dx = std::llabs(std::int64_t{x1} - x0);
    const std::int64_t dy = -std::llabs(std::int64_t{y1} - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    const QRgb color = to_qrgb(Pen.Color);
    const std::int64_t r = reduction_;
    std::int64_t err = dx + dy;
    std::int64_t x = x0;
    std::int64_t y = y0;
    while (x != x1 || y != y1) {
        if (x >= a.Left && y >= a.Top && x < a.Right && y < a.Bottom) {
            reinterpret_cast<QRgb*>(overview_->scanLine(static_cast<int>((y - a.Top) / r)))[(x - a.Left) / r] = color;
        }
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    if (OnOverviewChange) OnOverviewChange();
}
