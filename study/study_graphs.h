// The study graphs: runs over time in panels made for reading values off
// them, the current run and up to four others, each in its colour with its
// label:
//
//   contact force F, with Fn dashed and the hand spring's force Fc dotted
//                                        [N]    on a scale that stays (below)
//   tangential error sErr                [mm]
//   distance of the probe tip from the workpiece contour [mm]
//   X of the probe tip, and of the command point dashed  [mm]
//   Y of the probe tip, and of the command point dashed  [mm]
//
// with time t [s] along x, and a cursor at one sample: a line across every
// panel, a dot on each line and the values of every run there, written as
// the run summary writes them.  Drawn by study/svg_chart (the scales and
// ticks of --plot), as SVG text laid out at the width it is shown at, so that
// every text is 11 px or larger however narrow the screen.  A panel whose
// values all lie within the rounding floor of its unit (svg_chart.h:
// 1e-9 N, 1e-4 mm), as sErr does on most runs, is drawn flat at 0 with a
// note saying so.
//
// The force scale stays: it covers 0, every Fn and every force F and Fc of the runs
// drawn since it was last fitted, and grows only when one of them leaves it,
// so that 20 N stands twice as high as 10 N while settings are typed.  It
// shrinks back to the runs' own forces only when fitted (fitForceScale).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/svg_chart.h"

namespace hybridsim {

// The current run and at most four others.
constexpr std::size_t studyMostRuns = 5;

// One run as the graphs draw it: samples 0..nsteps of the recorded series
// that the CSV holds, in SI units.
struct StudyRun {
    std::string label;   // in the legend and on the cursor ("current run")
    std::string colour;  // "#rrggbb"
    double Fn = 0.0;               // [N]
    std::vector<double> time;      // t [s]
    std::vector<double> force;     // contact force, not a number where the sample has no posture [N]
    // the force the hand spring exerts at the posture (SeriesSet::springForce),
    // not a number where the sample has no posture [N]
    std::vector<double> springForce;
    std::vector<double> sErr;      // tangential error [m]
    std::vector<double> distance;  // of the probe tip from the workpiece contour [m], as the summary reads it
    std::vector<double> tipX, tipY;  // the probe tip [m]
    std::vector<double> refX, refY;  // the command point [m]
    int lastSample() const { return static_cast<int>(time.size()) - 1; }
};

// The run of `set` with settings `s` (its samples 0..lastSample(s)).
StudyRun studyRun(const SimSettings& s, const SeriesSet& set, std::string label, std::string colour);

// The colour of the graphs' run i (0: the current run).
std::string studyRunColour(std::size_t i);

// A run's values at the cursor, with their texts as the summary writes
// them: three decimals, lengths in millimetres, "nan" for not a number
// (beyond 10^9 in exponent form, "1.2346e+12 N").
struct StudyCursorRun {
    std::string label, colour;
    int sample = 0;  // the cursor's sample, or the run's last when it has fewer
    double t = 0.0, force = 0.0, springForce = 0.0, Fn = 0.0, sErr = 0.0, distance = 0.0;
    double tipX = 0.0, tipY = 0.0, refX = 0.0, refY = 0.0;
    std::string tText, forceText, springForceText, FnText, sErrText, distanceText, tipXText, tipYText, refXText,
        refYText;
};

// A value in the summary's words: "%.3f" and the unit ("10.000 N");
// metres as millimetres when `unit` is "mm".
std::string studyValueText(double v, const char* unit);

class StudyGraphs {
public:
    // The runs drawn: the current run first, then the others (beyond
    // studyMostRuns, left out).  The force scale grows when a value leaves
    // it; it is fitted when there was none yet.
    void setRuns(std::vector<StudyRun> runs);
    const std::vector<StudyRun>& runs() const { return runs_; }
    // Fits the force scale to the runs drawn: it shrinks (or grows) to a
    // round scale of 0, their Fn and their forces F and Fc (a force within
    // newtonFloor of 0 counts as 0).
    void fitForceScale();
    const AxisScale& forceScale() const { return forceScale_; }

    // The width the graphs are laid out at [px], within 240..4000.
    void setWidth(double width);
    double width() const { return width_; }

    // The chart, its layout, and the SVG element (no XML declaration) with
    // an empty <g class="cursor"> last, for cursorSvg's elements; also in
    // its parts (chartSvgParts), the cursor's group in the tail.
    Chart chart() const;
    const ChartLayout& layout() const;
    std::string svg() const;
    ChartSvgParts svgParts() const;
    // The cursor at sample `sample` of the current run (held within its
    // samples): per panel a <g class="cursor-panel">, its line, the dots and
    // the values of every run.
    std::string cursorSvg(int sample) const;
    std::vector<StudyCursorRun> cursor(int sample) const;

    // The sample of the current run under x [px]: the nearest in time by
    // the time axis's own scale (the plot areas are aligned, one x is one
    // time in every panel); left and right of the axis the first and the last.
    int sampleAt(double x) const;
    // Whether (x, y) [px] lies in a plot area or within 8 px of it.
    bool inPlot(double x, double y) const;

private:
    std::vector<StudyRun> runs_;
    AxisScale forceScale_;
    bool forceFitted_ = false;
    double width_ = 760.0;
    mutable std::optional<ChartLayout> layout_;  // of the chart as it is now
};

}  // namespace hybridsim
