#pragma once
// Colours as the window code knows them: 32-bit values laid out 0x00BBGGRR.
#include <cstdint>

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clWhite = 0xFFFFFF;
// A point added with this colour takes its series' own colour.
inline constexpr TColor clDefaultColor = 0x20000000;

inline constexpr int color_red(TColor c) { return static_cast<int>(c & 0xFF); }
inline constexpr int color_green(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int color_blue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }
inline constexpr TColor color_from_rgb(int r, int g, int b) {
    return static_cast<TColor>((b & 0xFF) << 16 | (g & 0xFF) << 8 | (r & 0xFF));
}
