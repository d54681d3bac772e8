// World-to-window mapping, the palette and the shape primitives every
// picture of the window is built from.
//
// The window shows window units x, y in [-1, 1] (x right, y up); one window
// unit is 400 pixels in the 800 x 800 window.  Every primitive switches
// lighting off while it draws and on again when it ends, so between shapes
// lighting is on, which is what gives bitmap text its dark grey.  A shape
// whose position or size is not a finite number (a not-a-number sample, a
// scale divided by zero) is left out; the line width it would set is still
// set, so the widths of the shapes after it do not change.
#pragma once

#include <array>
#include <vector>

#include "drawing/canvas.h"
#include "sim/settings.h"

namespace hybridsim {

// Pixels per window unit: line widths in window units are multiplied by it.
constexpr double pixelsPerUnit = 400.0;
// Steps of every circle, disc and arc.
constexpr int circleSegments = 120;
// The value of pi used by the drawing.
constexpr double drawingPi = 3.1415926536;
// Radians per degree, used to turn angles into OpenGL's degrees.
constexpr double radiansPerDegree = 0.01745329252;
// Coordinates beyond this many window units are treated as unscalable.
constexpr double maxWindowCoordinate = 1.0e6;

namespace palette {
// The alpha of every colour is 0; blending is never enabled.
constexpr Color red{1.0f, 0.0f, 0.0f, 0.0f};
constexpr Color green{0.0f, 1.0f, 0.0f, 0.0f};
constexpr Color blue{0.0f, 0.0f, 1.0f, 0.0f};
constexpr Color yellow{1.0f, 1.0f, 0.0f, 0.0f};
constexpr Color white{1.0f, 1.0f, 1.0f, 0.0f};
constexpr Color black{0.0f, 0.0f, 0.0f, 0.0f};
constexpr Color lightBlue{0.6f, 0.6f, 1.0f, 0.0f};
}  // namespace palette

// True when v can be sent to OpenGL as a coordinate or a size.
bool drawable(double v);
bool drawable(Vec2 p);

// Window point of world point p [m]: offset by the view offset, then zoomed
// about the window centre.
Vec2 toWindow(const SimSettings& s, Vec2 p);

// Filled disc of radius r about c.
void fillDisc(Canvas& cv, Vec2 c, double r, const Color& color);
// Filled half disc about c: from angle a clockwise through half a turn,
// closed by the chord.
void fillHalfDisc(Canvas& cv, Vec2 c, double r, double a, const Color& color);
// Circle outline about c, in the line width in force.
void outlineCircle(Canvas& cv, Vec2 c, double r, const Color& color);
// Open half-circle arc about c, from angle a clockwise, in the width in force.
void drawHalfArc(Canvas& cv, Vec2 c, double r, double a, const Color& color);
// Filled rectangle with corner p, length a along angle theta and height b
// to its left.
void fillRect(Canvas& cv, Vec2 p, double a, double b, double theta, const Color& color);
// Outline of the same rectangle; sets the line width to 2 pixels first.
void outlineRect(Canvas& cv, Vec2 p, double a, double b, double theta, const Color& color);
// Filled quadrilateral p1 p2 p3 p4; sets the line width to 2 pixels.
void fillQuad(Canvas& cv, Vec2 p1, Vec2 p2, Vec2 p3, Vec2 p4, const Color& color);
// Three sides of a rectangle, open towards +a: corner p, depth a, width b,
// turned by theta; the line is w window units (w * 400 pixels) wide.
void drawBracket(Canvas& cv, Vec2 p, double a, double b, double w, double theta,
                 const Color& color);

// Point marker: a disc of 0.008 m (zoomed) at world point p [m].
void drawPoint(Canvas& cv, const SimSettings& s, Vec2 p, const Color& color);

// The strokes and gaps of a dashed line, alternating from a stroke
// [window units]; a pattern of no length draws the line solid.
struct DashPattern {
    std::array<double, 4> lengths{};  // stroke, gap, stroke, gap [window units]
    int count = 0;                    // lengths in use: 0 (solid), 2 or 4
};

// An upright rectangle [window units].
struct Box {
    double left = -1.0;
    double bottom = -1.0;
    double right = 1.0;
    double top = 1.0;
};

// The polyline through `points` [window units], `pixels` wide, dashed by
// `dash` along its whole length, and only inside `clip`: a segment is cut
// where it leaves the box (the pattern runs on over the part left out),
// and a point that is not drawable breaks the line there.  All of it is
// one shape of separate segments; the line width stays `pixels`.
void drawDashedPolyline(Canvas& cv, const std::vector<Vec2>& points, const DashPattern& dash, float pixels,
                        const Box& clip, const Color& color);

}  // namespace hybridsim
