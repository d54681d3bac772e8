// The batch runner's pictures as charts (study/svg_chart): the time
// graphs of one run, and the figures of a sweep against the swept value.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"
#include "study/summary.h"
#include "study/svg_chart.h"

namespace hybridsim {

// The contact-force histories of a sweep are drawn over each other when it
// sweeps one name over at most this many values.
constexpr std::size_t overlayMostRuns = 20;
inline bool sweepOverlaysForce(std::size_t names, std::size_t runs)
{
    return names == 1 && runs <= overlayMostRuns;
}

// One run over time, three panels: the contact force with Fn [N], the
// tangential error sErr [mm], and |posErr|, the distance of the probe tip
// from the command point [mm]; samples 0..nsteps of `set` (samples out of
// reach of the robot break the lines of the tip).
Chart runChart(const SimSettings& s, const SeriesSet& set);

// The colours of the run chart's lines, which the loops' charts share: the
// contact force (and the force loop's poles), Fn, the model's closed form,
// the tangential error (and the position loop's poles).
inline constexpr const char* forceLineColour = "#d62728";
inline constexpr const char* targetLineColour = "#1f77b4";
inline constexpr const char* modelLineColour = "#555555";
inline constexpr const char* errorLineColour = "#2ca02c";

// A run drawn beside the current one in the loops' charts: a pin.
struct OtherRun {
    const SimSettings* settings = nullptr;  // derived
    const SeriesSet* series = nullptr;      // its robot's series
    std::string name;                       // "pin 1"
    std::string colour;                     // "#rrggbb"
};

// The s-plane of both control loops (study/loop_poles.h) at equal scale on
// both axes: the designed poles as crosses, the model's as rings, each
// system in its colour, with the circle of radius wn of each; re and im in
// 1/s.  The other runs' poles, both systems', under them in their colours
// (crosses and rings, no circles).
ChartPanel polesPanel(const SimSettings& s, const std::vector<OtherRun>& others = {});

// The run chart's force panel: the contact force where the robot reaches,
// Fn, and dashed under them the model's force step in closed form.
ChartPanel forceStepPanel(const SimSettings& s, const SeriesSet& set);

// The largest |F - the closed form| [N] over the samples in reach: the
// integration error of the force loop.  Not a number where it would tell
// nothing, `why` saying why: no sample in reach; only one (sample 0, where
// F and the closed form are both 0 by their start, is no comparison); a
// difference at a sample in reach that is not a finite number (a closed
// form or a force beyond the range of numbers).
enum class ForceDifferenceNone { computed, noSampleInReach, oneSampleInReach, notFinite };
double modelForceDifference(const SimSettings& s, const SeriesSet& set, ForceDifferenceNone* why = nullptr);

// Runs compared (study/compare.h), the first the main run: the three
// panels of runChart with every run overlaid, each in its colour (the main
// run red, the others their pins' colours) and named by its file's own
// name (the keys above the panels give the names in full, with the
// settings that differ), and then, for every other run, a row of three
// panels of its difference from the main run over time: F - F_main [N]
// (where both have a posture), sErr - sErr_main [mm] and
// |posErr| - |posErr|_main [mm].
Chart compareChart(const std::vector<ComparedRun>& runs);

// One task of a sweep, as its plot needs it.
struct SweepPlotTask {
    std::vector<std::string> values;  // the swept values, one per name
    bool computed = false;            // false: refused, no figures
    RunSummary summary;
    double Fn = 0.0;             // [N]
    std::vector<double> time;    // [s], empty when not kept
    std::vector<double> force;   // contact force of each sample in reach, nan elsewhere [N]
};

struct SweepPlotInput {
    std::vector<std::string> names;                // the swept names: one, or two for a grid
    std::vector<std::vector<std::string>> values;  // the values of each name, in order
    std::vector<SweepPlotTask> tasks;              // in order, the first name outermost
    std::string task;                              // a line that names the task swept
};

// The figures of the summary against the first swept value, one small
// panel per figure; for a grid one line per value of the second name.
// A selector (robot, method, contour) or a value that is no number is
// drawn as named places on the x axis.  For one name and at most
// overlayMostRuns values, a last panel holds the contact force of every
// run, coloured by the swept value, when the histories were kept.
Chart sweepChart(const SweepPlotInput& in);

// The unit of a setting's name from its description ("Hz" for fn2), ""
// when it has none.
std::string settingUnit(const std::string& name);

}  // namespace hybridsim
