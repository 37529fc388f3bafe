#pragma once
// A point handed to the plotter: signed 32-bit, in whatever space the caller
// draws in (the test drawing space for the circle and the arc).
#include <cstdint>

struct PlotPoint {
    std::int32_t x;
    std::int32_t y;
    friend bool operator==(const PlotPoint&, const PlotPoint&) = default;
};
