// The physical scene of one frame: the workpiece and the robot in its
// posture, ending in the compliant hand whose probe is deflected against the
// workpiece.  Sizes are metres multiplied by the zoom `viewScale`.
#pragma once

#include "drawing/canvas.h"
#include "sim/settings.h"

namespace hybridsim {

// Hand dimensions [m], the same in every frame.
namespace hand {
constexpr double blockLength = 0.02;
constexpr double blockWidth = 0.04;
constexpr double bracketDepth = 0.1;
constexpr double bracketWidth = 0.1;
constexpr double probeRodLength = 0.14;
constexpr double probeRodWidth = 0.02;
// the bracket is drawn 0.007 window units (2.8 pixels) wide at any zoom
constexpr double bracketLineWidth = 0.007;
// radius of the undeflected-tip ring and of the probe-tip disc
constexpr double tipMarkerRadius = 0.005;
}  // namespace hand

// The workpiece of the selected contour, from the nominal contour settings
// (the setting error is not applied to it), in light blue.
void drawWorkpiece(Canvas& cv, const SimSettings& s);

// Robot a (cylindrical coordinates) in posture q = (arm direction, radial
// distance of the undeflected tip) with its probe tip at `tip` [m].
void drawRobotA(Canvas& cv, const SimSettings& s, Joints q, Vec2 tip);

// Robot b (SCARA) in posture q = (link 1 angle, link 2 angle relative to
// link 1) with its probe tip at `tip` [m].
void drawRobotB(Canvas& cv, const SimSettings& s, Joints q, Vec2 tip);

// One SCARA link: kind 1 on the base (filled joint, rounded front end),
// kind 2 on the elbow (ring joint, no front end).  `joint` is in offset
// world coordinates (world + view offset, not yet zoomed); length L and
// width W [m], direction theta [rad].
void drawLink(Canvas& cv, const SimSettings& s, int kind, Vec2 joint, double L, double W,
              double theta, const Color& color);

// The compliant hand: `undeflected` is where the probe tip would be without
// deflection, `tip` the real probe tip, both in offset world coordinates;
// theta is the hand axis.  Block, bracket, probe rod, main spring, four leaf
// springs, the black ring at the undeflected tip and the red tip.
void drawHand(Canvas& cv, const SimSettings& s, Vec2 undeflected, Vec2 tip, double theta,
              const Color& color);

}  // namespace hybridsim
