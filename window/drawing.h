#pragma once
// Plotting on Form1's image with the canvas' current pen, as the page
// animates it: the drawing unit's primitives (drawing/page_drawing.h) on
// Image1, with the page's pauses, message pumps and "Stop".
#include <cstdint>

// One point in image pixels.
void plot_point(int x, int y);
// A point of the test drawing space: one unit is s pixels, b grows upward.
void plot_scaled(int a, int b, int s);
// Midpoint circle through plot_scaled(..., 2), animated pass by pass.
void draw_circle(int cx, int cy, int r);
// Incremental clockwise arc from the start point (straight above the
// centre) to the end point, each point animated with blue and lime markers.
void draw_arc(std::int16_t cx, std::int16_t cy, std::int16_t sx, std::int16_t sy, std::int16_t ex,
              std::int16_t ey);
