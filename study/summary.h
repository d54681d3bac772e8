// Figures that tell how well a run went, computed from its recorded series:
// the force reached and held, the tangential and the contour errors, and how
// far the probe tip strayed from the command point.
//
// Every figure is a pure function of the settings and the recorded samples
// 0..nsteps of the task's robot; nothing is simulated here.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/step_response.h"

namespace hybridsim {

// A force counts as reached when it lies within this share of Fn.
constexpr double forceReachedShare = 0.05;
// ... and as settled when it stays within this share of Fn.
constexpr double forceSettledShare = 0.02;

struct RunSummary {
    // the task's own settings that the CSV lists with the figures
    double seterror = 0.0;  // [m]
    double Fn = 0.0;        // [N]

    int samples = 0;     // samples looked at: 0..nsteps
    int nanSamples = 0;  // samples without a posture (see hasPosture), left out of the force figures

    // The force loop runs whether or not the robot reaches the workpiece, so
    // the force figures read only the samples that have a posture; none when
    // no sample has one.
    int postureSamples = 0;      // samples that have a posture: samples - nanSamples
    int firstSample = -1;        // the first of them, -1 when there is none
    int finalSample = -1;        // the last of them, -1 when there is none
    double finalForce = 0.0;     // contactForce of finalSample [N] (nan: none)
    double finalForceErr = 0.0;  // forceErr of finalSample [N] (nan: none)

    // The first sample with a posture whose |contactForce - Fn| <= 5 % of
    // |Fn|, its time, and the largest |forceErr| of the samples with a
    // posture from then on.
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

    // The position error split along the workpiece's contour at the probe
    // tip (the tangent and the normal of contourNormalAngle there): the
    // largest |posErr . t| and |posErr . n| [m] (nan: no sample).
    double posErrTanMax = 0.0;
    double posErrNormMax = 0.0;

    // The force the hand spring exerts at the recorded posture against the
    // force loop's own F: the largest |springForce - contactForce| over the
    // samples with a posture, and the spring force's range from the force's
    // first reaching 5 % of Fn on (nan: none) [N].
    double springForceDiffMax = 0.0;
    double springForceMin = 0.0;
    double springForceMax = 0.0;

    // The contact force as a step response from 0 to Fn (study/step_response.h),
    // read off the force between the samples with a posture; every figure
    // none (nan) when sample 0 has no posture, the step's start unknown, or
    // sample 1 has none, the step not in the samples (a run that blew up).
    bool stepRead = false;
    // How far the force goes past Fn in the direction of the step, max
    // (sign(Fn) (F - Fn)) with sign(0) = +1, and 0 when it never passes Fn;
    // in percent of |Fn| (nan when Fn is 0: a step of no height has no share).
    double overshoot = 0.0;         // [N]
    double overshootPercent = 0.0;  // [%]
    // The time from which the force stays within 2 % of |Fn| of Fn (nan:
    // "never", it ends outside).  With Fn = 0 the band is the one value 0.
    double settlingTime = 0.0;  // [s]
    // From the force's first reaching 10 % of the step to its first
    // reaching 90 % (nan when Fn is 0 or a level is never reached), and
    // those two times.
    double riseTime = 0.0;  // [s]
    double riseFromTime = 0.0, riseToTime = 0.0;
    // The largest force in the direction of the step and its time, when the
    // force passes Fn (nan, "none": a response that never passes Fn has no peak).
    double peakForce = 0.0;  // [N]
    double peakTime = 0.0;   // [s]
    // The steady-state error, F - Fn at the last sample with a posture, when
    // the force has settled (nan, "none": not settled).
    double steadyError = 0.0;  // [N]

    // The contact, read off the recorded force (under contact=spring the
    // measured one, 0 exactly when the probe is off the surface): the
    // samples with a posture whose force is 0 or less after the first whose
    // force is above 0, the first of them and its time (-1, nan: contact
    // never lost), and the largest force of the samples with a posture
    // (nan: none).
    int offSurfaceSamples = 0;
    int contactLostSample = -1;
    double contactLostTime = 0.0;  // [s]
    double largestForce = 0.0;     // [N]
};

// The levels of the rise time, as shares of |Fn|.
constexpr double riseFromShare = 0.1;
constexpr double riseToShare = 0.9;

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

// The same, with a guess of the sine's foot (the abscissa of the nearest
// point of the curve), which it replaces by p's foot: a run's tip moves
// little from sample to sample, so the foot of one sample starts the search
// of the next (nan: no guess).  Newton's method on the squared distance
// from the guess answers whenever the curve is shown to have only one
// nearest point near p (see summary.cpp); the sampled search otherwise.
double distanceToContour(const SimSettings& s, Vec2 p, double& footX);

// The distance to the sine by the sampled search alone (slow): the
// reference that the fast search is tested against.
double sampledSineDistance(const SimSettings& s, Vec2 p);

// The figures of samples 0..nsteps of `set` (at most the series capacity).
// A sample without a posture is counted in nanSamples and left out of the
// force figures, because the force there is the model's, not a contact's;
// every other figure leaves out the samples where the series it reads is
// not a number.
RunSummary summarizeRun(const SimSettings& s, const SeriesSet& set);

// Whether sample i has a posture: every number it records is finite (the
// joints, the hand deflection, the probe tip and its error, the reference,
// the force and its error, the tangential error).  A point robot b cannot
// reach leaves its sample without one, and so does a run whose numbers
// overflowed (sim/run_fault.h).
bool hasPosture(const SeriesSet& set, int i);

// The contact force of samples 0..nsteps, not-a-number where the sample
// has no posture (there the force is the model's, not a contact's): the
// force as the summary reads it, for the plots.
std::vector<double> contactForceInReach(const SimSettings& s, const SeriesSet& set);

// The stretches of the contact force between the samples that have a
// posture (study/step_response.h): what the step figures are read off.
ForceStretches forceInReach(const SimSettings& s, const SeriesSet& set);

// The task in one line: "robot b (SCARA), method 8, sine wave, setting
// error 5 mm, Fn 10 N".
std::string summaryTitle(const SimSettings& s);

// The figures as a small table, one figure a line with its unit, lengths in
// millimetres, preceded by one line naming the task.
void printSummary(const SimSettings& s, const RunSummary& r, std::ostream& out);

// One line of that table: the label in 48 columns, then the value.
std::string summaryLine(const std::string& label, const std::string& value);

// The same figures as CSV: one header line and one row, lengths in metres,
// every number with 17 significant digits; a figure that does not exist (a
// force never reached) is written as nan.
// The contact's figures (SummaryFigure::contact) are in the text and the
// CSV only under contact=spring.
void printSummaryCsv(const SimSettings& s, const RunSummary& r, std::ostream& out);

// The header line and the row of printSummaryCsv, without line ends, with
// the contact's columns or without: a sweep writes the same row for each of
// its tasks, with them when any of its tasks is under contact=spring.
std::string summaryCsvHeader(bool contact = false);
std::string summaryCsvRow(const SimSettings& s, const RunSummary& r, bool contact = false);

// The figures of the summary, one table in the CSV's column order after
// robot, method and contour: what the CSV, the text, the goals, the page's
// goal panel and a sweep's chart read.  Adding a figure: its field in
// RunSummary, its computing in summarizeRun, its row in summary.cpp and its
// column in the README's list.
struct SummaryFigure {
    const char* column;  // "overshoot_pct"
    // what it is, in a few words: "force overshoot"
    const char* title;
    // the unit the page shows it in ("mm", "%", "s", "N", "" for a count)
    // and the factor from the column's own unit to it (1000 for m to mm)
    const char* unit;
    double factor;
    // whether it makes sense as a goal (the task's own settings, seterror_m
    // and Fn_N, and the count of samples do not)
    bool goal;
    // the figure in the column's unit (nan: none)
    double (*value)(const RunSummary& r);
    // its line in the text: the place among the lines (1 the first after the
    // task's), the label, and what follows the label; a figure written on
    // another's line or in the task's has place 0
    int textLine;
    const char* textLabel;
    std::string (*text)(const RunSummary& r);
    // its panel in a sweep's chart (0: none, 1 the first), the panel's title
    // and the quantity the y axis names with the page's unit: "force [N]"
    int sweepPanel;
    const char* sweepTitle;
    const char* sweepQuantity;
    // a figure of the contact: in the text and the CSV only under
    // contact=spring (as a goal, of every run)
    bool contact;
};
const std::vector<SummaryFigure>& summaryFigures();
// The figure a form for a new goal starts on (the page's): the force
// overshoot in %, a goal of most lessons.
const SummaryFigure& goalFormStart();
// The figure of that column, or null.
const SummaryFigure* summaryFigure(const std::string& column);
// The figures that have a line in the text, and those that have a panel
// in a sweep's chart, in the order shown.
std::vector<const SummaryFigure*> summaryTextFigures();
std::vector<const SummaryFigure*> sweepFigures();
// The y axis's label of a figure's panel: "length [mm]", "samples".
std::string sweepAxisLabel(const SummaryFigure& f);

}  // namespace hybridsim
