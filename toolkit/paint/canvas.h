#pragma once
// Drawing surface of an image: a bitmap with a pen, a current position and
// a white brush, with the pixel rules the drawing code relies on.
#include "toolkit/app/colors.h"

#include <functional>
#include <memory>

class QImage;

struct TPen {
    int Width = 1;  // pixels; 0 and 1 both draw thin lines
    TColor Color = clBlack;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;  // exclusive
    int Bottom = 0;  // exclusive
    friend bool operator==(const TRect&, const TRect&) = default;
};

class TCanvas {
public:
    // A white bitmap of the given size (a size of 0 or less gives an empty
    // bitmap that clips everything).
    TCanvas(int width, int height);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen Pen;

    // Sets exactly one pixel; outside the bitmap nothing happens.
    void Pixels(int x, int y, TColor color);
    // The colour of one pixel, or NoPixel outside the bitmap.
    TColor Pixel(int x, int y) const;
    static constexpr TColor NoPixel = 0xFFFFFFFFu;

    void MoveTo(int x, int y);
    // Draws from the current position up to (x, y), end pixel excluded, and
    // makes (x, y) current. A zero-length line draws nothing with a thin pen
    // and a dot as wide as the pen, centred, with a wider pen.
    void LineTo(int x, int y);
    int PenX() const { return penX_; }
    int PenY() const { return penY_; }

    TRect ClipRect() const;
    void FillRect(const TRect& rect);  // solid white

    int Width() const;
    int Height() const;
    const QImage& Bitmap() const;
    // The resolution a saved picture states: the screen's, unless set (a
    // picture drawn with no screen states the window's designed 96).
    void SetDotsPerInch(int dpi);

    // Called with the part of the bitmap that a drawing call changed
    // (already clipped to the bitmap); the image uses it to schedule a paint.
    std::function<void(const TRect&)> OnChange;

    // An overview: a reduced copy of `area` (canvas coordinates, reaching
    // beyond the bitmap where the drawing does), each of its pixels standing
    // for `reduction` x `reduction` canvas pixels. From now on every drawing
    // call goes into it as well, so what the bitmap clips away is kept there;
    // a FillRect of the whole bitmap ends it. A thin line keeps its pixels
    // (each marks the overview pixel it falls in), a dot covers at least one.
    void KeepOverview(const TRect& area, int reduction);
    const QImage* Overview() const { return overview_.get(); }  // null when none
    TRect OverviewArea() const { return overviewArea_; }
    int OverviewReduction() const { return reduction_; }
    std::function<void()> OnOverviewChange;

private:
    void changed(long long left, long long top, long long right, long long bottom);
    void thinLine(int x0, int y0, int x1, int y1);
    void dot(int x, int y);
    void wideLine(int x0, int y0, int x1, int y1);
    void overviewLine(int x0, int y0, int x1, int y1);
    void overviewFill(long long left, long long top, long long right, long long bottom, TColor color);

    std::unique_ptr<QImage> bitmap_;
    int width_;   // the bitmap's, which never changes size: asked for on every pixel
    int height_;
    std::unique_ptr<QImage> overview_;
    TRect overviewArea_;
    int reduction_ = 1;
    int penX_ = 0;
    int penY_ = 0;
};
