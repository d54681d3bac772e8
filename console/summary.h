// Figures that tell how well a run went, computed from its recorded series:
// the force reached and held, the tangential and the contour errors, and how
// far the probe tip strayed from the command point.
//
// Every figure is a pure function of the settings and the recorded samples
// 0..nsteps of the task's robot; nothing is simulated here.
#pragma once

#include <ostream>

#include "sim/run.h"
#include "sim/settings.h"

namespace hybridsim {

// A force counts as reached when it lies within this share of Fn.
constexpr double forceReachedShare = 0.05;

struct RunSummary {
    int samples = 0;     // samples looked at: 0..nsteps
    int nanSamples = 0;  // samples holding a not-a-number in any series used here

    // The force loop runs whether or not the robot reaches the workpiece, so
    // the force figures read only the samples whose posture is a number
    // (in reach of the robot); none when no sample is.
    int reachedSamples = 0;      // samples whose posture is a number
    int finalSample = -1;        // the last of them, -1 when there is none
    double finalForce = 0.0;     // contactForce of finalSample [N] (nan: none)
    double finalForceErr = 0.0;  // forceErr of finalSample [N] (nan: none)

    // The first sample in reach whose |contactForce - Fn| <= 5 % of |Fn|, its
    // time, and the largest |forceErr| of the samples in reach from then on.
    bool forceReached = false;
    int forceReachedSample = -1;
    double forceReachedTime = 0.0;         // [s]
    double maxForceErrAfterReached = 0.0;  // [N]

    double sErrRms = 0.0;  // root mean square of sErr [m]
    double sErrMax = 0.0;  // largest |sErr| [m]

    // Largest distance between the probe tip and the nominal workpiece
    // contour (see distanceToContour) [m], and its sample.
    double contourDistMax = 0.0;
    int contourDistMaxSample = -1;
    // Largest |posErr|, the distance from the command point to the probe tip
    // [m], and its sample.
    double posErrMax = 0.0;
    int posErrMaxSample = -1;
};

// Distance [m] from point p to the nominal contour of the workpiece, the
// contour the probe is pressed against (the setting error moves only the
// path that method 7 commands, never the contour the probe touches):
//   line    the perpendicular distance to the infinite line through the start
//           and the end point (the workpiece's surface; how far the tip runs
//           along it is the tangential error's business); a line of zero
//           length is the distance to its one point;
//   circle  | |p - O| - r |;
//   sine    the distance to the curve y = A sin(2 pi (x - x0) / L) + y0,
//           continued over every x, found numerically: see summary.cpp.
// Any other contour selector, or a p that is not finite, gives not-a-number.
double distanceToContour(const SimSettings& s, Vec2 p);

// The figures of samples 0..nsteps of `set` (at most the series capacity).
// A sample holding a not-a-number (an unreachable point of robot b) in a
// series is counted in nanSamples and left out of every figure that reads
// that series; the force figures leave out every sample whose posture is
// not a number, because the force there is the model's, not a contact's.
RunSummary summarizeRun(const SimSettings& s, const SeriesSet& set);

// The figures as a small table, one figure a line with its unit, lengths in
// millimetres, preceded by one line naming the task.
void printSummary(const SimSettings& s, const RunSummary& r, std::ostream& out);

// The same figures as CSV: one header line and one row, lengths in metres,
// every number with 17 significant digits; a figure that does not exist (a
// force never reached) is written as nan.
void printSummaryCsv(const SimSettings& s, const RunSummary& r, std::ostream& out);

}  // namespace hybridsim
