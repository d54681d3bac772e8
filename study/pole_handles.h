// The designed poles of the loops' s-plane chart (loopsPolesChart) as the
// page's handles: where the chart's plot area lies with its scales, and
// where each loop's pair and its pole at -alpha lie, in the chart's own
// units (px of the SVG's user space, y down).  A page maps a pointer to a
// point of the s-plane through the frame, and the chart draws the poles
// through the same layout (chartLayout): one rule both ways.
#pragma once

#include <vector>

#include "sim/settings.h"
#include "study/svg_chart.h"

namespace hybridsim {

// The plot area of the s-plane [px] and the ends of its scales [rad/s]:
// re runs from reMin at x to reMax at x + width, im from imMax at y down
// to imMin at y + height (the same px to a unit both ways).
struct PoleFrame {
    double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
    double reMin = 0.0, reMax = 0.0, imMin = 0.0, imMax = 0.0;
};
// The frame of the chart's first panel (the s-plane); all zero without one.
PoleFrame poleFrame(const ChartLayout& layout);

// A point of the plot area [px] as a point of the s-plane, by the frame.
double frameRe(const PoleFrame& f, double x);
double frameIm(const PoleFrame& f, double y);

// One handle: "pair" stands on the designed pair -- its pole above the
// axis (zeta < 1), the double pole at -wn (zeta = 1), or where the circle
// |s| = wn meets the axis between the two real poles (zeta > 1); "alpha"
// on the pole at -alpha.  (re, im) the pole [rad/s], (x, y) where the
// chart draws it [px].
struct PoleHandle {
    enum class Kind { pair, alpha };
    int system = 1;  // 1: position, 2: force
    Kind kind = Kind::pair;
    double re = 0.0, im = 0.0;
    double x = 0.0, y = 0.0;
};
const char* handleKindName(PoleHandle::Kind kind);  // "pair", "alpha"

// The handles of the settings' loops on the chart laid out as `layout`:
// both loops of a method that keeps design values (methods 7 and 8 store
// fn and alpha for both), none for another; a handle whose place is not a
// finite number is left out.
std::vector<PoleHandle> poleHandles(const SimSettings& s, const ChartLayout& layout);

}  // namespace hybridsim
