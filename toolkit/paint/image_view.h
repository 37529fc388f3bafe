#pragma once
// How the image control shows its bitmap: magnified by a whole factor, so
// each bitmap pixel is an exact square of screen pixels, and shifted. The
// bitmap itself never changes; only the picture on screen does.
//
// With the mouse: the wheel zooms around the cursor (forward = in) through
// the factors 1, 2, 3, 4, 6, 8, 12, 16, 24, 32; a left-button drag pans; a
// left double-click shows the bitmap unmagnified at the top-left again.

struct ImageView {
    int scale = 1;  // screen pixels per bitmap pixel, a side
    int x = 0;      // where bitmap pixel (0, 0) starts on screen
    int y = 0;
    friend bool operator==(const ImageView&, const ImageView&) = default;
};

inline constexpr int IMAGE_VIEW_MAX_SCALE = 32;

// The bitmap's and the widget's sizes in pixels.
struct ImageSizes {
    int bitmapWidth;
    int bitmapHeight;
    int widgetWidth;
    int widgetHeight;
};

// `view` zoomed by `notches` factors (negative: out) so that the bitmap
// point under screen point (atX, atY) stays under it.
ImageView zoom_image_view(const ImageView& view, int notches, int atX, int atY, const ImageSizes& sizes);
// `view` moved by (dx, dy) screen pixels.
ImageView pan_image_view(const ImageView& view, int dx, int dy, const ImageSizes& sizes);
// The view kept showing bitmap where there is any to show: a magnified
// bitmap covers the widget (no empty band opens at an edge), one that fits
// sits at the top-left.
ImageView clamp_image_view(const ImageView& view, const ImageSizes& sizes);

// Bitmap coordinate of screen coordinate `screen` on one axis (floor).
int image_view_bitmap_at(int screen, int origin, int scale);
