// The teaching overlay ('v' in the window, --overlay for the batch
// runner's pictures, "Forces and frames" in the page): what hybrid control
// does, drawn over the robot at the sample shown, from the run's own
// quantities.
//
//   contact frame  at the contact point (the recorded probe tip): the
//                  contour's tangent t in the direction of travel, labelled
//                  "t: position", and its normal n into the workpiece,
//                  "n: force" (contourNormalAngle of the model);
//   hand frame     method 8 only: the hand axes 1 and 2 at the undeflected
//                  tip, for method 8 commands the force (Fn, 0) in them;
//   forces         the commanded force Fn n (a wide pale bar) and the
//                  recorded contact force F n (a thin arrow over it), both
//                  from the contact point on one scale, overlayNewtonsPerMetre;
//                  labelled "F" and "Fn";
//   spring force   the force Fc n that the hand spring exerts at the recorded
//                  posture against the workpiece (SeriesSet::springForce),
//                  on the same scale, a thin arrow of its own colour beside
//                  F: from the contact point moved overlaySpringForceOffset
//                  along t, so that it stays apart from F where the two are
//                  equal; a negative Fc points out of the material; labelled
//                  "Fc: spring";
//   hand spring    a zigzag from the undeflected tip (the black ring) to the
//                  deflected tip, to scale (the hand's springs give 20 mm at
//                  10 N by default: magnified, it would leave the picture);
//   reach          robot b: the annulus its undeflected tip reaches, two
//                  dashed circles about the base, and a cross at the command
//                  point of every sample of the run that had no posture;
//   pins           each pin's contact force arrow in its colour;
//   values         at the bottom left: "F = 9.98 N   Fc = 9.98 N   Fn = 10 N
//                  (10 N per 0.1 m)" and "deflection (hand frame) (20.000,
//                  0.000) mm", the recorded hand-frame deflection.
// Every shape and text carries its Role (drawing/canvas.h).  Nothing is drawn
// for a sample whose tip or posture is not a number, apart from the reach.
#pragma once

#include <string>

#include "drawing/canvas.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"

namespace hybridsim {

// Scale of the force arrows: 100 N per metre, 10 N per 0.1 m (one grid step).
constexpr double overlayNewtonsPerMetre = 100.0;
// Length of the contact frame's and the hand frame's arrows [m].
constexpr double overlayAxisLength = 0.08;
// How far the spring force's arrow stands beside the contact force's, along
// the tangent [window units]: clear of F's label and of both arrow heads.
constexpr double overlaySpringForceOffset = 0.045;

// Colours of the overlay: none of the window's own or the pins'.
namespace overlayPalette {
constexpr Color tangent{0.0f, 0.4f, 1.0f, 0.0f};
constexpr Color normal{0.6f, 0.0f, 0.6f, 0.0f};
constexpr Color force{0.8f, 0.0f, 0.2f, 0.0f};
constexpr Color forceCommand{1.0f, 0.8f, 0.8f, 0.0f};
constexpr Color spring{0.0f, 0.4f, 0.0f, 0.0f};
constexpr Color springForce{0.1f, 0.1f, 0.5f, 0.0f};
constexpr Color handAxis{0.4f, 0.4f, 0.0f, 0.0f};
constexpr Color reach{0.4f, 0.4f, 0.4f, 0.0f};
}  // namespace overlayPalette

// The values line of the forces: "F = 9.98 N   Fc = 12.96 N   Fn = 10 N
// (10 N per 0.1 m)", F and Fc with two decimals, Fn as short as it reads back.
std::string overlayForceText(double f, double fc, double fn);
// "deflection (hand frame) (20.000, -0.001) mm" of a deflection [m].
std::string overlayDeflectionText(Vec2 delta);

// The overlay of the live run `set` at sample i (the last drawn sample of
// s.frame), with the pins' force arrows.
void drawOverlay(Canvas& cv, const SimSettings& s, const SeriesSet& set, int i, const PinSet& pins);

}  // namespace hybridsim
