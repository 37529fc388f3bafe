// The image control's zoom and pan: whole magnifications around the cursor,
// exact pixel squares on screen, and the bitmap never touched.
#include "toolkit/app/colors.h"
#include "toolkit/paint/image.h"
#include "toolkit/paint/image_view.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

constexpr ImageSizes kSizes{660, 380, 660, 380};

void wheel(QWidget* widget, QPoint pos, int eighths) {
    QWheelEvent event(pos, widget->mapToGlobal(QPointF(pos)), QPoint(), QPoint(0, eighths), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

TEST(image_view, zoom_keeps_the_pixel_under_the_cursor_and_stays_on_the_bitmap) {
    struct Case {
        const char* name;
        ImageView from;
        int notches, atX, atY;
        ImageView to;
    };
    const Case cases[] = {
        {"in at the top-left corner", {}, 1, 0, 0, {2, 0, 0}},
        {"in at a point", {}, 1, 100, 50, {2, -100, -50}},
        {"two notches", {}, 2, 100, 50, {3, -200, -100}},
        {"in again from 2", {2, -100, -50}, 1, 100, 50, {3, -200, -100}},
        {"out from 2 is the whole bitmap", {2, -100, -50}, -1, 300, 300, {1, 0, 0}},
        {"out below 1 stays 1", {}, -3, 300, 300, {1, 0, 0}},
        {"at the far corner", {}, 1, 659, 379, {2, -659, -379}},
        {"out at an edge opens no band", {4, -1980, -1140}, -1, 0, 0, {3, -1320, -760}},
        {"the largest is 32", {24, -5000, -3000}, 5, 330, 190, {32, -6777, -4063}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.to, zoom_image_view(c.from, c.notches, c.atX, c.atY, kSizes));
    }
}

TEST(image_zoom, shows_exact_pixel_squares_and_leaves_the_bitmap_alone) {
    QWidget top;
    top.resize(660, 380);
    TImage image(&top);
    image.Widget()->setGeometry(0, 0, 660, 380);
    top.show();
    TCanvas* canvas = image.Canvas();
    for (int i = 0; i < 60; ++i) canvas->Pixels(40 + i, 30 + (i * 7) % 23, i % 2 ? clBlue : clLime);
    const QImage drawn = canvas->Bitmap().copy();

    QWidget* w = image.Widget();
    wheel(w, QPoint(60, 40), 60);  // half a notch: nothing yet
    EXPECT_EQ(ImageView{}, image.View());
    wheel(w, QPoint(60, 40), 60);
    wheel(w, QPoint(60, 40), 240);
    EXPECT_EQ((ImageView{4, -180, -120}), image.View());
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    for (int step = 1; step <= 4; ++step) QTest::mouseMove(w, QPoint(200 + 5 * step, 200 + 3 * step));
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(220, 212));
    const ImageView view = image.View();
    EXPECT_EQ((ImageView{4, -160, -108}), view);

    const TColor before = canvas->Pixel(50, 35);
    canvas->Pixels(50, 35, clNavy);  // drawing goes on under the zoom
    image.Repaint();
    const QImage shot = w->grab().toImage();
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const int bx = image_view_bitmap_at(x, view.x, view.scale);
            const int by = image_view_bitmap_at(y, view.y, view.scale);
            ASSERT_EQ(canvas->Bitmap().pixel(bx, by) | 0xFF000000u, shot.pixel(x, y) | 0xFF000000u) << x << "," << y;
        }
    }
    EXPECT_EQ(660, canvas->Width());
    canvas->Pixels(50, 35, before);
    EXPECT_EQ(drawn, canvas->Bitmap());

    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(ImageView{}, image.View());
    EXPECT_EQ(canvas->Bitmap().copy(0, 0, 660, 380).convertToFormat(QImage::Format_RGB32),
              w->grab().toImage().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
