#pragma once
// Incremental clockwise arc by a running decision term (circular
// interpolation), as a point generator. Everything the trace keeps is 16-bit
// and wraps; products are formed in 32 bits.
#include "core/engine/plot_point.h"

#include <cstdint>

enum class ArcAxis : std::uint8_t { X, Y };

// What decides the rest of a trace: two passes that start from equal poses
// continue alike.
struct ArcPose {
    std::int16_t x;
    std::int16_t y;
    std::int8_t dx;
    std::int8_t dy;
    ArcAxis mainAxis;
    std::int16_t d;
    friend bool operator==(const ArcPose&, const ArcPose&) = default;
};

struct ArcState {
    std::int16_t cx;  // centre, test drawing space
    std::int16_t cy;
    std::int16_t r2;  // squared radius from the end point, cut to 16 bits
    std::int16_t x;   // offset of the current point from the centre
    std::int16_t y;
    std::int16_t xe;  // offset of the end point from the centre
    std::int16_t ye;
    std::int8_t dx;   // +1 or -1: direction of a step along x
    std::int8_t dy;   // +1 or -1: direction of a step along y
    ArcAxis mainAxis;  // stepped on every pass
    std::int16_t d;    // decision term (see arc.cpp); 0 until the switch at the top seeds it
    int row;           // switch (1 to 8, see arc.cpp) applied on the last pass, 0 if none
    std::int32_t passes;
    // Passes allowed before the trace gives up on meeting the end point:
    // well over one full turn of the larger of the start and end radius.
    std::int32_t passLimit;
    // Repeat detection: a pose met again means the trace goes round for
    // ever without meeting the end; it then stops after that one round.
    ArcPose mark;
    std::int32_t markSpan;   // passes the mark is kept before it moves on (doubles)
    std::int32_t markAge;    // passes since the mark was taken
    bool repeated;           // the trace came back to the mark
};

// Sets the trace up: centre (cx, cy), start (sx, sy), end (ex, ey). The
// method expects the start straight above the centre and the end on the
// clockwise trace from there; other input ends within passLimit passes.
ArcState arc_begin(std::int16_t cx, std::int16_t cy, std::int16_t sx, std::int16_t sy, std::int16_t ex,
                   std::int16_t ey);

// The current point, cx + x, cy + y formed in 32 bits (the start point right
// after arc_begin).
PlotPoint arc_point(const ArcState& state);

// True when the current offset is the end offset.
bool arc_at_end(const ArcState& state);

// One pass: switch, main step, side decision; writes the new point. Returns
// false, writing nothing, once the end point is reached, the trace has come
// round to a pose it had before, or passLimit passes have been made.
bool arc_next(ArcState& state, PlotPoint& point);
