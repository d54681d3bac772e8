// The control loops as the page's panel shows them: the force step of a run
// close up, its figures marked on it, over the model's step in closed form;
// the s-plane of both loops at equal scale; the pinned runs in both in their
// colours; and the facts of the caption the page writes under them.
#pragma once

#include <vector>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/loop_poles.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "study/svg_chart.h"

namespace hybridsim {

// The step chart shows this many time constants of the force loop's slowest pole.
constexpr int stepTimeConstants = 5;

// The time constant [s] of the slowest pole of the model's force loop that
// is not at the origin: 1 / |re| of the pole of the smallest |re|.  Not a
// number when a pole lies right of the imaginary axis, or on it away from
// the origin (no time constant), or when no pole lies off the origin.
double slowestForceTimeConstant(const SimSettings& s);

// The time axis of the step chart [s]: from the run's first sample; by
// default to stepTimeConstants slowest time constants after it, no later
// than the run's last sample (to the last sample when the time constant is
// not a number); with `wholeRun` to the last sample.
struct StepView {
    double from = 0.0;
    double zoomEnd = 0.0;  // the end by default
    double runEnd = 0.0;   // the last sample's time
    double until = 0.0;    // the end shown
    bool zoomed() const { return until < runEnd; }
};
StepView stepView(const SimSettings& s, const SeriesSet& set, bool wholeRun);

// The step chart, `width` px wide: the recorded contact force between the
// samples (as the summary reads it), Fn, the model's step in closed form
// dashed, and the other runs' recorded forces in their colours, over the
// view's time; on the force the summary's figures marked where they fall
// within it: the peak with the overshoot, the 10 % and 90 % points of the
// rise, the settling time.
Chart loopsStepChart(const SimSettings& s, const SeriesSet& set, const RunSummary& r, const StepView& view,
                     const std::vector<OtherRun>& others, double width);

// The s-plane chart, `width` px wide: polesPanel with its legend above it.
Chart loopsPolesChart(const SimSettings& s, const std::vector<OtherRun>& others, double width);

// Under contact=spring with a control period: the z-plane chart, `width`
// px wide, at equal scale -- the unit circle (dashed), the sampled force
// loop's poles as rings in the force's colour, the pins' sampled poles in
// their colours.  Empty (no panels) when the settings sample no force loop.
Chart loopsZPlaneChart(const SimSettings& s, const std::vector<OtherRun>& others, double width);

// What the panel's caption says of the force loop (the words are the
// page's, web/page_texts.js), read off the poles of the settings.
struct LoopsCaptionFacts {
    LoopPoles force;  // the force loop's poles, designed and modelled
    // The designed double pole became one real model pole within 10 % of
    // -wn/2 (the model's loop has no mass term), and either the slow pole
    // stayed within 10 % of -alpha (alpha > 0) or the pole at the origin
    // stayed there (alpha = 0).
    bool doubleToHalf = false;
    bool slowStays = false;
    bool originStays = false;
    // the model's rightmost pole right of the imaginary axis: the loop is
    // unstable (not a number when none is)
    double unstablePole = 0.0;
    bool designStable = true;  // no designed pole right of the axis
    // systems 1 and 2: a model pole at the origin with Ki = 0 (alpha = 0),
    // the integral state the loop does not use
    bool originUnused[2] = {false, false};
    // under contact=spring: r = k / kh (1 otherwise), and with a control
    // period the sampled loop (computed false without one)
    bool spring = false;
    double ratio = 1.0;
    SampledForceLoop sampled;
};
LoopsCaptionFacts loopsCaptionFacts(const SimSettings& s);

}  // namespace hybridsim
