// The design map of the force loop: a plane of designs around the current
// one -- fn2 across, alpha2 (or zeta2) up -- coloured by a figure of the
// force step, with the designs that meet the goals outlined.
//
// Every point is the model's own step, in closed form: the force loop
// integrates Kv F'' = (Kp - 1)(Fn - F)' + Ki (Fn - F) about the error
// e = Fn - F, so that e'' + b e' + c e = 0 with b = (Kp - 1) / Kv,
// c = Ki / Kv, e(0) = Fn and e'(0) = -b Fn (F jumps to a slope b Fn).
// The figures are read off that e over the run's time as the summary reads
// them off the recorded force (study/summary.h): nothing is simulated, so
// a map of thousands of designs costs about what one run does.
// Under contact=spring b and c are times the ratio r of the start's rest
// state (study/loop_poles.h): the step is the loop linearized there, and
// without the sampling of a control period.
#pragma once

#include <string>
#include <vector>

#include "sim/settings.h"
#include "study/goals.h"
#include "study/summary.h"

namespace hybridsim {

// The step figures of the model's force loop, as RunSummary holds them
// (nan: none, as the summary writes none or never).
struct ModelStep {
    bool computed = false;  // false: the gains give no closed form in numbers (every figure nan)
    double overshoot = 0.0;         // [N]
    double overshootPercent = 0.0;  // [%] (nan when Fn is 0)
    double peakForce = 0.0;         // [N] (nan: never passes Fn)
    double peakTime = 0.0;          // [s]
    double settlingTime = 0.0;      // [s] (nan: outside the 2 % band at the run's end)
    double riseTime = 0.0;          // [s] (nan: a level not reached within the run, or Fn 0)
    double riseFromTime = 0.0, riseToTime = 0.0;
};

// The step of e'' + b e' + c e = 0 as above, over 0..end [s].
ModelStep modelStep(double b, double c, double Fn, double end);
// ... of the settings' force loop (its gains, Fn, the ratio r under
// contact=spring) over the run's time, samples 0..lastSample.
ModelStep modelStep(const SimSettings& s);

// A RunSummary that holds these figures (the rest as a default summary):
// what checkGoal reads.
RunSummary modelStepSummary(const ModelStep& m, double Fn);

// The figures a map may show (the summary's columns of the force
// overshoot in %, the settling time and the rise time, in that order), and
// whether a goal's figure is one the map computes (the force step's: these,
// the overshoot in N and the peak's force and time).
const std::vector<std::string>& designMapFigures();
bool designMapChecks(const Goal& goal);

enum class MapPlane { alpha, zeta };

// An axis of the map: fn2 [Hz] on a log scale; alpha2 [1/s] or zeta2 on a
// linear one from 0.
struct MapAxis {
    double lo = 0.0;
    double hi = 1.0;
    bool log = false;
    // where a value lies, 0..1 from lo to hi, and the value at a share
    double share(double v) const;
    double at(double share) const;
};

struct DesignMapRequest {
    MapPlane plane = MapPlane::alpha;
    std::string figure;  // a column of designMapFigures() ("": the first)
    int columns = 60;  // cells along fn2
    int rows = 60;     // cells along the other axis
    // the ranges: kept where given (lo < hi, finite, fn2's lo above 0, the
    // other's lo 0 or more), else around the current design
    double xLo = 0.0, xHi = 0.0, yLo = 0.0, yHi = 0.0;
};

struct DesignMap {
    MapPlane plane = MapPlane::alpha;
    const SummaryFigure* figure = nullptr;
    int columns = 0, rows = 0;
    MapAxis x, y;
    // the figure of the cell in column i (fn2 growing), row j (the other
    // growing), at the cell's centre: values[j * columns + i] (nan: none,
    // or a design the settings refuse)
    std::vector<double> values;
    // whether the cell meets every goal the map checks (empty: no goal)
    std::vector<char> pass;
    std::vector<Goal> checked, leftOut;  // the goals the map checks, those it leaves out
    // the current design
    double fn = 0.0, other = 0.0;
    bool spring = false;   // contact=spring: linearized about the start
    bool sampled = false;  // ... and a control period the map leaves out
};

// The map of the settings' force loop around its current design.
DesignMap designMap(const SimSettings& s, const DesignMapRequest& request, const std::vector<Goal>& goals);

// The value of the map's cell at the current design's settings with fn2 and
// the other axis's value set as typing them would (nan where refused).
double designMapValue(const SimSettings& s, MapPlane plane, const std::string& figure, double fn, double other);

// A design shown on the map beside the current one: a pin's.
struct MapMark {
    double fn = 0.0, other = 0.0;
    std::string label;   // "pin 1"
    std::string colour;  // "#rrggbb"
};

// Where the map's plot area lies in its SVG [user units, y down].
struct MapFrame {
    double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
    double svgWidth = 0.0, svgHeight = 0.0;
};
MapFrame designMapFrame(double width);

// The map as an SVG document `width` units wide: a cell a rectangle in the
// colour of its value's band (<g class="cells">, "none" cells hatched
// grey), the pass region's outline (<path class="pass-outline">, between
// passing and failing cells), the current design as a ring
// (<circle class="design-point">), the marks as dots in their colours
// (<circle class="pin-point">), the axes with their labels and the colour
// scale with the figure's values.
std::string designMapSvg(const DesignMap& map, const std::vector<MapMark>& marks, double width);

// The value of a setting by name as the settings hold it for the method in
// force ("fn2" in Hz, "alpha2", "zeta2"), as a task file writes it.
double designValue(const SimSettings& s, const char* name);

}  // namespace hybridsim
