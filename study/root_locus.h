// The root locus of the model's force loop: where its poles go as one
// quantity varies over a range about its value, the others kept.
//
// fn2, alpha2: the gain design (sim/gain_design.h) gives Kp2, Kv2 and Ki2
// from zeta2, wn2 = 2 pi fn2 and alpha2; the model's force loop has the
// poles of Kv2 s^2 + r (Kp2 - 1) s + r Ki2 (r = 1 without contact=spring,
// else the stiffness ratio of the start, study/loop_poles.h).
// r: under contact=spring the ratio enters the same polynomial; it is the
// slope of the measured force over the command at the start (linearized),
// varied here directly in the polynomial.
// T: under contact=spring with a control period the sampled loop's poles
// z (sim/contact_model.h sampledForceLoop) with the period varied.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "sim/settings.h"
#include "study/loop_poles.h"
#include "study/study_plot.h"
#include "study/svg_chart.h"

namespace hybridsim {

enum class LocusQuantity { fn2, alpha2, ratio, period };

// "fn2", "alpha2", "ratio", "period"; false for another name
const char* locusQuantityName(LocusQuantity q);
bool locusQuantityFromName(const std::string& name, LocusQuantity& q);

// The sweep: locusSteps + 1 values from a tenth of the value in force to
// ten times it, evenly on a log scale, the value in force the middle one.
constexpr int locusSteps = 100;

struct RootLocus {
    LocusQuantity quantity = LocusQuantity::fn2;
    bool computed = false;
    std::string none;  // why not computed, one English line ("" when computed)
    bool zPlane = false;  // T: the sampled loop's poles z
    double current = 0.0;  // the value in force: fn2 [Hz], alpha2 [1/s], r, T [s]
    std::vector<double> values;
    // branches[k][i]: a pole at values[i], each branch followed from its
    // pole at the step before (the nearer one); not a number where the
    // polynomial has one root only (Kv2 = 0)
    std::array<std::vector<Pole>, 2> branches;
    std::vector<Pole> at;  // the poles at the value in force
};

// The poles of the model's force loop (or the sampled loop's, T) with the
// quantity at `value`, the other settings as in `s` (derived).  None where
// they are not finite numbers.
std::vector<Pole> locusPolesAt(const SimSettings& s, LocusQuantity q, double value);

// The locus about the value in force.  Not computed where the quantity has
// no positive finite value (alpha2 = 0, say) or does not apply (r without
// contact=spring, T without a control period under it), or the start is
// out of reach (no ratio).
RootLocus rootLocus(const SimSettings& s, LocusQuantity q);

// The locus as a chart `width` px wide: the branches as lines in the
// force's colour, their ends labelled with the factor (x0.1 at the start,
// x10 at the end: the quantity grows from the one to the other), the poles
// in force as rings, the pins' poles in force as rings in their colours;
// the s-plane at equal scale, or the z-plane with the unit circle (dashed)
// at equal scale, |z| up to 2 in view.  Without a locus, one empty panel
// whose title says why.
Chart rootLocusChart(const SimSettings& s, LocusQuantity q, const std::vector<OtherRun>& others, double width);

}  // namespace hybridsim
