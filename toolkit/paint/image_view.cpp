#include "toolkit/paint/image_view.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int, 10> kScales{1, 2, 3, 4, 6, 8, 12, 16, 24, 32};

int scale_index(int scale) {
    const auto it = std::lower_bound(kScales.begin(), kScales.end(), scale);
    return static_cast<int>(std::min<std::ptrdiff_t>(it - kScales.begin(), kScales.size() - 1));
}

int clamp_axis(int origin, int bitmapSize, int scale, int widgetSize) {
    const long shown = static_cast<long>(bitmapSize) * scale;
    if (shown <= widgetSize) return 0;
    return static_cast<int>(std::clamp<long>(origin, widgetSize - shown, 0));
}

// The origin on one axis that keeps bitmap coordinate `at - origin` (in
// old screen pixels) under `at` after the scale changes. Exact in the
// bitmap's sub-pixel position, rounded to a screen pixel.
int refocus(int origin, int at, int oldScale, int newScale) {
    const long offset = static_cast<long>(at) - origin;  // in old screen pixels from the bitmap's corner
    const long moved = (offset * newScale + (offset >= 0 ? oldScale / 2 : -(oldScale / 2))) / oldScale;
    return static_cast<int>(at - moved);
}

}  // namespace

int image_view_bitmap_at(int screen, int origin, int scale) {
    const int offset = screen - origin;
    return offset >= 0 ? offset / scale : -((-offset + scale - 1) / scale);
}

ImageView clamp_image_view(const ImageView& view, const ImageSizes& sizes) {
    ImageView kept = view;
    kept.scale = kScales[static_cast<std::size_t>(scale_index(std::clamp(view.scale, 1, IMAGE_VIEW_MAX_SCALE)))];
    kept.x = clamp_axis(view.x, sizes.bitmapWidth, kept.scale, sizes.widgetWidth);
    kept.y = clamp_axis(view.y, sizes.bitmapHeight, kept.scale, sizes.widgetHeight);
    return kept;
}

ImageView zoom_image_view(const ImageView& view, int notches, int atX, int atY, const ImageSizes& sizes) {
    const int index = std::clamp(scale_index(view.scale) + notches, 0, static_cast<int>(kScales.size()) - 1);
    const int scale = kScales[static_cast<std::size_t>(index)];
    const ImageView zoomed{scale, refocus(view.x, atX, view.scale, scale), refocus(view.y, atY, view.scale, scale)};
    return clamp_image_view(zoomed, sizes);
}

ImageView pan_image_view(const ImageView& view, int dx, int dy, const ImageSizes& sizes) {
    return clamp_image_view({view.scale, view.x + dx, view.y + dy}, sizes);
}
