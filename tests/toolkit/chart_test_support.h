#pragma once
// Pixel checks shared by the chart tests.
#include "toolkit/chart/chart.h"

#include <QImage>

inline QRgb rgb_of(TColor c) { return qRgb(color_red(c), color_green(c), color_blue(c)); }

inline bool has_color(const QImage& image, int x, int y, TColor c) {
    return image.rect().contains(x, y) && (image.pixel(x, y) & 0xFFFFFF) == (rgb_of(c) & 0xFFFFFF);
}

// How a drawn picture's pixels of colour `c` inside `area` compare with a
// reference picture's.
struct ColorComparison {
    int inReference = 0;
    int differing = 0;
};

template <class Area>
ColorComparison compare_color(const QImage& drawn, const QImage& reference, const Area& area, TColor c) {
    ColorComparison result;
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) {
            const bool a = has_color(drawn, x, y, c);
            const bool b = has_color(reference, x, y, c);
            result.inReference += b ? 1 : 0;
            result.differing += a != b ? 1 : 0;
        }
    }
    return result;
}
