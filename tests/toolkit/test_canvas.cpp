#include "toolkit/paint/canvas.h"
#include "toolkit/paint/image.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using Pixels = std::set<std::pair<int, int>>;

// Every pixel of the canvas that is not white.
Pixels inked(const TCanvas& c) {
    Pixels out;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Pixel(x, y) != clWhite) out.insert({x, y});
    return out;
}

Pixels line_pixels(int x0, int y0, int x1, int y1, int w = 300, int h = 300) {
    TCanvas c(w, h);
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
    return inked(c);
}

Pixels block(int left, int top, int right, int bottom) {
    Pixels out;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) out.insert({x, y});
    return out;
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

TEST(canvas, starts_white_with_a_thin_black_pen) {
    TCanvas c(40, 30);
    EXPECT_EQ(1, c.Pen.Width);
    EXPECT_EQ(clBlack, c.Pen.Color);
    EXPECT_EQ((TRect{0, 0, 40, 30}), c.ClipRect());
    EXPECT_TRUE(inked(c).empty());
    EXPECT_EQ(QImage::Format_RGB32, c.Bitmap().format());
}

TEST(canvas, pixels_sets_one_pixel_and_converts_colours) {
    struct Row {
        TColor color;
        QRgb rgb;
        TColor readBack;
    };
    const Row rows[] = {
        {clBlack, qRgb(0, 0, 0), clBlack},
        {clBlue, qRgb(0, 0, 255), clBlue},
        {clLime, qRgb(0, 255, 0), clLime},
        {clNavy, qRgb(0, 0, 128), clNavy},
        {0x123456, qRgb(0x56, 0x34, 0x12), 0x123456},
        {clDefaultColor | 0x0000FF, qRgb(255, 0, 0), 0x0000FF},  // the top byte is no colour
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.color);
        TCanvas c(10, 10);
        c.Pixels(3, 4, row.color);
        EXPECT_EQ(row.rgb, c.Bitmap().pixel(3, 4) | 0xFF000000u);
        EXPECT_EQ(row.readBack, c.Pixel(3, 4));
        EXPECT_EQ((Pixels{{3, 4}}), row.color == clWhite ? Pixels{} : inked(c));
        EXPECT_EQ(0, c.PenX());  // Pixels leaves the pen position alone
    }
}

TEST(canvas, outside_the_bitmap_is_clipped) {
    TCanvas c(10, 10);
    const std::pair<int, int> justOutside[] = {{-1, 0}, {0, -1}, {10, 0}, {0, 10}, {INT32_MIN, INT32_MAX}};
    for (auto [x, y] : justOutside) {
        SCOPED_TRACE(x);
        c.Pixels(x, y, clBlack);
        EXPECT_EQ(TCanvas::NoPixel, c.Pixel(x, y));
    }
    // A 5-wide dot reaches 2 pixels from its centre.
    const std::pair<int, int> dotsOutside[] = {{-3, 0}, {0, -3}, {12, 5}, {5, 12}, {INT32_MIN, INT32_MAX}, {INT32_MAX, 0}};
    c.Pen.Width = 5;
    for (auto [x, y] : dotsOutside) {
        SCOPED_TRACE(x);
        c.MoveTo(x, y);
        c.LineTo(x, y);
    }
    c.Pen.Width = 1;
    c.MoveTo(-100, -100);
    c.LineTo(-5, 30);
    c.LineTo(INT32_MAX, 30);
    EXPECT_TRUE(inked(c).empty());
}

TEST(canvas, zero_length_lines) {
    struct Row {
        int width;
        Pixels expected;
    };
    const Row rows[] = {
        {0, {}},
        {1, {}},
        {5, block(98, 98, 102, 102)},
        {3, block(99, 99, 101, 101)},
        {4, block(98, 98, 101, 101)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.width);
        TCanvas c(200, 200);
        c.Pen.Width = row.width;
        c.Pen.Color = clLime;
        c.MoveTo(100, 100);
        c.LineTo(100, 100);
        EXPECT_EQ(row.expected, inked(c));
        EXPECT_EQ(100, c.PenX());
        EXPECT_EQ(100, c.PenY());
        if (!row.expected.empty()) {
            EXPECT_EQ(clLime, c.Pixel(100, 100));
        }
    }
}

TEST(canvas, dot_at_the_edge_is_clipped) {
    TCanvas c(10, 10);
    c.Pen.Width = 5;
    c.MoveTo(0, 9);
    c.LineTo(0, 9);
    EXPECT_EQ(block(0, 7, 2, 9), inked(c));
}

TEST(canvas, thin_lines_walk_bresenham_without_the_end_pixel) {
    struct Row {
        int x0, y0, x1, y1;
        Pixels expected;
    };
    const Row rows[] = {
        {50, 150, 50, 149, {{50, 150}}},
        {50, 149, 52, 145, {{50, 149}, {51, 148}, {51, 147}, {52, 146}}},
        {10, 10, 20, 13,
         {{10, 10}, {11, 10}, {12, 11}, {13, 11}, {14, 11}, {15, 12}, {16, 12}, {17, 12}, {18, 12}, {19, 13}}},
        {5, 5, 9, 5, {{5, 5}, {6, 5}, {7, 5}, {8, 5}}},
        {5, 5, 5, 1, {{5, 5}, {5, 4}, {5, 3}, {5, 2}}},
        {5, 5, 2, 2, {{5, 5}, {4, 4}, {3, 3}}},
        // Ties: the minor axis steps at once, so the two directions differ.
        {0, 0, 2, 1, {{0, 0}, {1, 1}}},
        {2, 1, 0, 0, {{2, 1}, {1, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.x0 << "," << row.y0 << " -> " << row.x1 << "," << row.y1);
        EXPECT_EQ(row.expected, line_pixels(row.x0, row.y0, row.x1, row.y1));
    }
}

TEST(canvas, thin_lines_are_connected_and_close_to_the_ideal_line) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 99);
    for (int i = 0; i < 300; ++i) {
        const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " -> " << x1 << "," << y1);
        const Pixels p = line_pixels(x0, y0, x1, y1, 100, 100);
        const std::size_t steps = static_cast<std::size_t>(std::max(std::abs(x1 - x0), std::abs(y1 - y0)));
        EXPECT_EQ(steps, p.size());
        if (steps == 0) continue;
        EXPECT_TRUE(p.count({x0, y0}));
        EXPECT_FALSE(p.count({x1, y1}));
        const double len = std::hypot(x1 - x0, y1 - y0);
        for (auto [x, y] : p) {
            // Distance along the minor axis from the ideal line stays within half a pixel.
            const double cross = std::abs(double(x - x0) * (y1 - y0) - double(y - y0) * (x1 - x0));
            EXPECT_LE(cross / double(steps), 0.5 + 1e-9) << x << "," << y << " len " << len;
        }
    }
}

TEST(canvas, line_crossing_the_edge_keeps_its_inside_pixels) {
    TCanvas c(20, 20);
    c.MoveTo(-30, 5);
    c.LineTo(40, 25);
    Pixels expectedInside;
    TCanvas big(100, 100);
    big.MoveTo(20, 55);
    big.LineTo(90, 75);
    for (auto [x, y] : inked(big))
        if (x - 50 >= 0 && x - 50 < 20 && y - 50 >= 0 && y - 50 < 20) expectedInside.insert({x - 50, y - 50});
    EXPECT_FALSE(expectedInside.empty());
    EXPECT_EQ(expectedInside, inked(c));
}

TEST(canvas, polyline_continues_from_the_pen_position) {
    TCanvas c(50, 50);
    c.MoveTo(10, 10);
    c.LineTo(13, 10);
    c.LineTo(13, 12);
    EXPECT_EQ((Pixels{{10, 10}, {11, 10}, {12, 10}, {13, 10}, {13, 11}}), inked(c));
    EXPECT_EQ(13, c.PenX());
    EXPECT_EQ(12, c.PenY());
}

TEST(canvas, wide_line_covers_its_span) {
    TCanvas c(60, 100);
    c.Pen.Width = 5;
    c.MoveTo(10, 50);
    c.LineTo(20, 50);
    const Pixels p = inked(c);
    for (int x = 11; x <= 19; ++x)
        for (int y = 49; y <= 51; ++y) EXPECT_TRUE(p.count({x, y})) << x << "," << y;
    for (auto [x, y] : p) {
        EXPECT_GE(x, 7);
        EXPECT_LE(x, 23);
        EXPECT_GE(y, 47);
        EXPECT_LE(y, 53);
    }
    EXPECT_EQ(20, c.PenX());
}

TEST(canvas, fill_rect_whitens_and_clips) {
    TCanvas c(30, 20);
    c.Pen.Width = 40;
    c.MoveTo(15, 10);
    c.LineTo(15, 10);
    EXPECT_EQ(block(0, 0, 29, 19), inked(c));
    c.FillRect({-5, -5, 10, 8});
    EXPECT_EQ(clWhite, c.Pixel(0, 0));
    EXPECT_EQ(clWhite, c.Pixel(9, 7));
    EXPECT_EQ(clBlack, c.Pixel(10, 7));
    EXPECT_EQ(clBlack, c.Pixel(9, 8));
    c.FillRect(c.ClipRect());
    EXPECT_TRUE(inked(c).empty());
}

TEST(canvas, reports_the_changed_area) {
    TCanvas c(100, 100);
    std::vector<TRect> seen;
    c.OnChange = [&](const TRect& r) { seen.push_back(r); };
    c.Pixels(5, 6, clBlack);
    c.Pen.Width = 5;
    c.MoveTo(1, 1);
    c.LineTo(1, 1);
    c.Pen.Width = 1;
    c.MoveTo(10, 10);
    c.LineTo(10, 10);  // draws nothing
    c.LineTo(14, 12);
    c.Pixels(500, 5, clBlack);  // outside: nothing
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ((TRect{5, 6, 6, 7}), seen[0]);
    EXPECT_EQ((TRect{0, 0, 4, 4}), seen[1]);
    EXPECT_EQ((TRect{10, 10, 15, 13}), seen[2]);
}

TEST(image, canvas_keeps_the_size_of_its_first_use) {
    QWidget parent;
    parent.resize(200, 150);
    TImage image(&parent);
    image.Widget()->setGeometry(0, 0, 120, 80);
    EXPECT_FALSE(image.HasCanvas());
    TCanvas* canvas = image.Canvas();
    ASSERT_TRUE(image.HasCanvas());
    EXPECT_EQ(120, canvas->Width());
    EXPECT_EQ(80, canvas->Height());

    image.Widget()->setGeometry(0, 0, 200, 150);
    EXPECT_EQ(canvas, image.Canvas());
    EXPECT_EQ((TRect{0, 0, 120, 80}), canvas->ClipRect());
    canvas->Pen.Width = 5;
    canvas->MoveTo(150, 40);  // beyond the bitmap, inside the grown control
    canvas->LineTo(150, 40);
    canvas->Pixels(119, 79, clBlue);
    EXPECT_EQ(clBlue, canvas->Pixel(119, 79));
    EXPECT_EQ(TCanvas::NoPixel, canvas->Pixel(150, 40));

    const QImage shot = image.Widget()->grab().toImage();
    EXPECT_EQ(qRgb(0, 0, 255), shot.pixel(119, 79) | 0xFF000000u);
    EXPECT_EQ(qRgb(255, 255, 255), shot.pixel(0, 0) | 0xFF000000u);
    // Beyond the bitmap the control shows its background, not the dot.
    EXPECT_EQ(image.Widget()->palette().window().color().rgb(), shot.pixel(150, 40) | 0xFF000000u);
}

TEST(image, drawing_schedules_a_paint_and_repaint_paints_at_once) {
    QWidget top;
    top.resize(100, 100);
    TImage image(&top);
    image.Widget()->setGeometry(0, 0, 100, 100);
    top.show();
    QApplication::processEvents();
    TCanvas* canvas = image.Canvas();
    QApplication::processEvents();

    PaintCounter counter;
    image.Widget()->installEventFilter(&counter);
    canvas->Pixels(10, 10, clBlack);
    EXPECT_EQ(0, counter.paints);  // not yet: at the next message pump
    QApplication::processEvents();
    EXPECT_EQ(1, counter.paints);
    QApplication::processEvents();
    EXPECT_EQ(1, counter.paints);  // nothing new, no paint

    canvas->Pixels(20, 20, clBlack);
    image.Repaint();  // at once, before any pump
    EXPECT_EQ(2, counter.paints);
    QApplication::processEvents();
    EXPECT_EQ(2, counter.paints);  // and not again
    image.Repaint();
    EXPECT_EQ(2, counter.paints);  // the control already shows the bitmap

    // What the control shows after the forced paint is the bitmap.
    canvas->Pixels(30, 30, clBlue);
    image.Repaint();
    const QImage shown = image.Widget()->grab(QRect(28, 28, 5, 5)).toImage();
    EXPECT_EQ(qRgb(0, 0, 255), shown.pixel(2, 2) | 0xFF000000u);
    image.Widget()->removeEventFilter(&counter);
}

TEST(image, outlives_or_follows_its_widget) {
    auto* parent = new QWidget;
    auto image = std::make_unique<TImage>(parent);
    image->Widget()->resize(20, 20);
    image->Canvas()->Pixels(1, 1, clBlack);
    delete parent;  // the Qt parent takes the widget first
    EXPECT_EQ(nullptr, image->Widget());
    image->Canvas()->Pixels(2, 2, clBlack);
    image->Repaint();
    image.reset();
}
