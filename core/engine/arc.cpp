#include "core/engine/arc.h"

#include "core/engine/int16.h"

#include <algorithm>
#include <cstdlib>

namespace {

std::int32_t taxicab(std::int16_t a, std::int16_t b) { return std::abs(std::int32_t{a}) + std::abs(std::int32_t{b}); }

// How the trace works.
//
// The trace walks the circle clockwise from its top, one pixel per pass, in
// offsets (x, y) from the centre, y pointing up. In every octant one axis,
// the main axis, changes on every pass by its direction (dx or dy); the other,
// the side axis, changes only on some passes. The side step is decided by d:
//
//   d is the circle's equation  x*x + y*y - r2  taken at the midpoint between
//   the two pixels the next pass chooses from (one main step ahead, half a
//   side step over), in integers: the half steps become products such as
//   y * (y - 1), and a small constant offset rides along. d < 0: that
//   midpoint lies inside the circle; d > 0: outside.
//
// After the main step, t says whether d is non-zero with the sign of dx * dy.
// With x as the main axis t means "stay on this row" (only the main step);
// with y as the main axis it means "step sideways too". Either way d is then
// moved on to the next midpoint by the change of the squares there
// (2 * dx * x + 1 for an x step, with the new x; likewise for y), so no
// square is formed inside the loop.
//
// Eight switches, tried in order before each pass's steps, turn the
// directions and the main axis where the circle's slope passes through +-1
// or its tangent becomes upright or level:
//
//                          1  top: x = 0 while heading right and up:
//                 8  . ' ' ' .  2   dy turns down, d is seeded afresh
//                 .     |     .
//     7  y = 0:  .      |      .  3  y = 0: dx turns left
//     dx turns   .------c------.
//     right      .      |      .
//                 .     |     .
//                 6  ' . . . '  4
//                          5  bottom: x = 0 while heading left and down:
//                                      dy turns up, d is seeded afresh
//
//   1  dx>0 dy>0 main x, x = 0     top: dy = -1, seed d from the point
//   2  dx>0 dy<0 main x, x >= y    past 45 degrees: main axis becomes y
//   3  dx>0 dy<0 main y, y = 0     rightmost: dx = -1
//   4  dx<0 dy<0 main y, x <= -y   past 45 degrees: main axis becomes x
//   5  dx<0 dy<0 main x, x = 0     bottom: dy = +1, seed d from the point
//   6  dx<0 dy>0 main x, x <= y    past 45 degrees: main axis becomes y
//   7  dx<0 dy>0 main y, y = 0     leftmost: dx = +1
//   8  dx>0 dy>0 main y, -x <= y   past 45 degrees: main axis becomes x
//
// The switches in 2, 3, 4, 6, 7 and 8 carry d over to the new midpoint by an
// update of the same kind as a step's, which shifts its constant offset by a
// unit or two each time. At the top and the bottom, where x is 0, d is
// computed afresh from the point itself, so those offsets never pile up from
// one half turn to the next; the top's seed is also what gives the first
// pass a true term, as arc_begin leaves d at 0.
//
// Everything is 16-bit and wraps, by design: with r2 above 32767 the term is
// no longer the circle's, and the trace wanders until the repeat check or the
// pass limit ends it.

// The octant and quadrant switches above, checked in order; the first one
// whose directions, axis and condition all hold is applied. Returns its
// number (1 to 8), or 0 when none applies.
int apply_switch(ArcState& s) {
    const std::int32_t x = s.x;
    const std::int32_t y = s.y;
    const bool mainX = s.mainAxis == ArcAxis::X;
    if (s.dx > 0 && s.dy > 0 && mainX && x == 0) {
        s.dy = -1;
        s.d = wrap16(std::int64_t{x} * x + std::int64_t{y - 1} * y - s.r2);  // top: seed afresh
        return 1;
    }
    if (s.dx > 0 && s.dy < 0 && mainX && x >= y) {
        s.mainAxis = ArcAxis::Y;
        s.d = wrap16(s.d + 2 * s.dy * y + 1);
        return 2;
    }
    if (s.dx > 0 && s.dy < 0 && !mainX && y == 0) {
        s.dx = -1;
        s.d = wrap16(s.d + 2 * s.dx * x + 1);
        return 3;
    }
    if (s.dx < 0 && s.dy < 0 && !mainX && x <= -y) {
        s.mainAxis = ArcAxis::X;
        s.d = wrap16(s.d + 2 * s.dx * x + 1);
        return 4;
    }
    if (s.dx < 0 && s.dy < 0 && mainX && x == 0) {
        s.dy = 1;
        s.d = wrap16(std::int64_t{x} * x + std::int64_t{y + 1} * y - s.r2);  // bottom: seed afresh
        return 5;
    }
    if (s.dx < 0 && s.dy > 0 && mainX && x <= y) {
        s.mainAxis = ArcAxis::Y;
        s.d = wrap16(s.d + 2 * s.dy * y + 1);
        return 6;
    }
    if (s.dx < 0 && s.dy > 0 && !mainX && y == 0) {
        s.dx = 1;
        s.d = wrap16(s.d + 2 * s.dx * x + 1);
        return 7;
    }
    if (s.dx > 0 && s.dy > 0 && !mainX && -x <= y) {
        s.mainAxis = ArcAxis::X;
        s.d = wrap16(s.d + 2 * s.dx * x + 1);
        return 8;
    }
    return 0;
}

ArcPose pose_of(const ArcState& s) { return {s.x, s.y, s.dx, s.dy, s.mainAxis, s.d}; }

// Brent's cycle finding: the mark stays for 1, 2, 4, ... passes; a trace that
// is periodic returns to it within a few rounds of its period.
void check_repeat(ArcState& s) {
    const ArcPose now = pose_of(s);
    if (now == s.mark) {
        s.repeated = true;
        return;
    }
    if (++s.markAge == s.markSpan) {
        s.mark = now;
        s.markSpan *= 2;
        s.markAge = 0;
    }
}

}  // namespace

ArcState arc_begin(std::int16_t cx, std::int16_t cy, std::int16_t sx, std::int16_t sy, std::int16_t ex,
                   std::int16_t ey) {
    ArcState s{};
    s.cx = cx;
    s.cy = cy;
    s.x = wrap16(sx - cx);
    s.y = wrap16(sy - cy);
    s.xe = wrap16(ex - cx);
    s.ye = wrap16(ey - cy);
    // Only the low 16 bits are kept, which the wrapped offsets give alike;
    // above 32767 this wraps, as intended. The sum of two squares of 16-bit
    // values can reach 2^31, hence 64 bits before the cut.
    s.r2 = wrap16(std::int64_t{s.xe} * s.xe + std::int64_t{s.ye} * s.ye);
    s.dx = 1;
    s.dy = 1;
    s.mainAxis = ArcAxis::X;
    s.d = 0;
    s.row = 0;
    s.passes = 0;
    // A full turn of radius R takes about 5.7 R passes, and the taxicab
    // radius is never below the true one; the bound also leaves room for a
    // trace that first has to settle from the start radius onto the end
    // radius. Without it an end point that the trace never meets (a wrapped
    // r2, an end near the centre, a start off the top) keeps it going forever.
    const std::int32_t radius = std::max(taxicab(s.x, s.y), taxicab(s.xe, s.ye));
    s.passLimit = 12 * radius + 16;
    s.mark = pose_of(s);
    s.markSpan = 1;
    s.markAge = 0;
    s.repeated = false;
    return s;
}

PlotPoint arc_point(const ArcState& s) { return {std::int32_t{s.cx} + s.x, std::int32_t{s.cy} + s.y}; }

bool arc_at_end(const ArcState& s) { return s.x == s.xe && s.y == s.ye; }

bool arc_next(ArcState& s, PlotPoint& point) {
    if (arc_at_end(s) || s.repeated || s.passes >= s.passLimit) return false;
    s.row = apply_switch(s);

    if (s.mainAxis == ArcAxis::X) {
        s.x = wrap16(s.x + s.dx);
    } else {
        s.y = wrap16(s.y + s.dy);
    }

    // T: d is non-zero and has the sign of dx * dy.
    const bool t = std::int32_t{s.d} * s.dx * s.dy > 0;
    if (s.mainAxis == ArcAxis::X) {
        if (t) {
            s.d = wrap16(s.d + 2 * s.dx * s.x + 1);
        } else {
            s.y = wrap16(s.y + s.dy);
            s.d = wrap16(s.d + 2 * (s.dx * s.x + s.dy * s.y) + 1);
        }
    } else {
        if (t) {
            s.x = wrap16(s.x + s.dx);
            s.d = wrap16(s.d + 2 * (s.dx * s.x + s.dy * s.y) + 1);
        } else {
            s.d = wrap16(s.d + 2 * s.dy * s.y + 1);
        }
    }
    ++s.passes;
    check_repeat(s);
    point = arc_point(s);
    return true;
}
