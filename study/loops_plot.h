// The control loops' figures in one SVG, as the page's panel shows them:
// the force step, the s-plane, the z-plane of a sampled force loop, the
// frequency response and the root loci of the force loop (fn2 and alpha2;
// under contact=spring the stiffness ratio r, and with a control period
// the period T), and the design map of the force loop.  What
// `hybridsim-batch --loops --plot` writes.
#pragma once

#include <string>
#include <vector>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/goals.h"
#include "study/study_plot.h"
#include "study/svg_chart.h"

namespace hybridsim {

// The loci the figures hold for the settings: fn2 and alpha2 always (a
// locus that cannot be drawn says why), r under contact=spring, T with a
// control period under it.
std::vector<std::string> plottedLoci(const SimSettings& s);

// The figures of the run (the settings derived, its series set) with the
// other runs in their colours, one column `width` px wide.
Chart loopsFiguresChart(const SimSettings& s, const SeriesSet& set, const std::vector<OtherRun>& others,
                        double width = 820.0);

// The figures above, then the design map of the force loop as the page
// opens it (the force overshoot over fn2 and alpha2) with the goals' pass
// region outlined and the other runs' designs in their colours: one SVG.
std::string loopsFiguresSvg(const SimSettings& s, const SeriesSet& set, const std::vector<OtherRun>& others,
                            const std::vector<Goal>& goals, double width = 820.0);

}  // namespace hybridsim
