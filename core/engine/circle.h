#pragma once
// Midpoint circle with eight-way symmetry, as a point generator: the caller
// plots the first point, then one pass of eight points at a time.
#include "core/engine/plot_point.h"

#include <cstdint>

// State of one circle. x and y are offsets from the centre, d the decision
// term; all signed 32-bit.
struct CircleState {
    std::int32_t cx;
    std::int32_t cy;
    std::int32_t x;
    std::int32_t y;
    std::int32_t d;
};

// Starts a circle of radius r about (cx, cy): x = 0, y = r, d = (5 - 4r) / 4
// truncated toward zero. `first` receives the single top point (cx, cy + r).
CircleState circle_begin(std::int32_t cx, std::int32_t cy, std::int32_t r, PlotPoint& first);

// One pass while x < y (tested before the pass): steps x, maybe y, updates d
// and writes the pass's eight points in drawing order. Returns false, writing
// nothing, when no pass is left.
bool circle_next_pass(CircleState& state, PlotPoint (&points)[8]);
