// Bitmap text, the title line, the legend and the 0.1 m grid.
//
// Text sets no colour of its own: it is drawn while lighting is on (the
// state every primitive leaves behind), which the fixed-function pipeline
// turns into dark grey (0.04, 0.04, 0.04) with the default material.
#pragma once

#include <string>

#include "drawing/canvas.h"
#include "sim/settings.h"

namespace hybridsim {

// Window texts.
namespace text {
constexpr const char* title = "Robot motion-force hybrid control   1 grid=(0.1, 0.1)[m]";
constexpr const char* robotA = "(a) cylindrical coordinate robot";
constexpr const char* robotB = "(b) SCARA robot";
constexpr const char* method7 = "Hybrid control 7";
constexpr const char* method8 = "Hybrid control 8";
constexpr const char* setError = "Workpiece setting error=";
constexpr const char* greenPoint = "green point : 10*position error";
constexpr const char* whitePoint = "white point : command position";
constexpr const char* blackPoint = "black point : position without deflection";
}  // namespace text

// Text at (x, y) in window units, in the current (lit) colour.
void drawText(Canvas& cv, float x, float y, Font font, const std::string& bytes);

// Width of `bytes` in `font` [pixels of the 800-pixel window]: the sum of
// the bitmap font's advances of printable ASCII characters; any other byte
// counts as the font's widest character.  The browser edition draws the
// same sizes of a metric-compatible sans-serif.
double textWidth(Font font, const std::string& bytes);

// The title line at the top left.
void drawTitle(Canvas& cv);

// Robot, method, setting error and the meaning of the three coloured points.
void drawLegend(Canvas& cv, const SimSettings& s);

// A grid of 2n + 1 lines each way about `origin` (window units), turned by
// `angle` [rad], dx and dy apart; the two centre lines are 2 pixels wide,
// the others 1 pixel.  Leaves the line width at 1 pixel.
void drawGrid(Canvas& cv, Vec2 origin, double angle, int n, double dx, double dy);

}  // namespace hybridsim
