#pragma once
// Drawing surface of an image: a bitmap with a pen, a current position and
// a white brush, with the pixel rules the drawing code relies on.
#include "toolkit/colors.h"

#include <memory>

class QImage;

struct TPen {
    int Width = 1;
    TColor Color = clBlack;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;  // exclusive
    int Bottom = 0;  // exclusive
};

class TCanvas {
public:
    TCanvas(int width, int height);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen Pen;

    // Sets exactly one pixel; outside the bitmap nothing happens.
    void Pixels(int x, int y, TColor color);
    TColor Pixel(int x, int y) const;
    void MoveTo(int x, int y);
    // Draws from the current position up to (x, y), end pixel excluded, and
    // makes (x, y) current. A zero-length line draws nothing with a width-1
    // pen and a dot as wide as the pen, centred, with a wider pen.
    void LineTo(int x, int y);
    TRect ClipRect() const;
    void FillRect(const TRect& rect);  // solid white

    int Width() const;
    int Height() const;
    const QImage& Bitmap() const;

private:
    std::unique_ptr<QImage> bitmap_;
    int penX_ = 0;
    int penY_ = 0;
};
