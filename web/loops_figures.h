// The Control loops panel's frequency response and root locus as the page
// asks for them (study/response_chart.h, study/root_locus.h): the charts
// as SVG with what the page needs to read them, as JSON.
#pragma once

#include <string>
#include <vector>

#include "sim/settings.h"
#include "study/study_plot.h"

namespace hybridsim {

// The frequency-response chart, `width` px wide, as JSON {"svg", "width",
// "height": the picture's size [SVG px], "panels": [{"system", "magnitude"
// (true: |H| [dB], false: the phase [deg]), "x0", "x1", "y0", "y1": the
// plot area [SVG px], "lo", "hi": log10 of the frequencies [Hz] at x0 and
// x1, "ylo", "yhi": the values at y1 and y0}] in the chart's order,
// "sampled": the force loop's sampled response drawn (contact=spring with
// a control period), "loops": [{"system", "low", "high"}]: each loop's
// range [Hz]}.
std::string responseChartJson(const SimSettings& s, const std::vector<OtherRun>& others, double width);

// System 1 or 2's responses at `hz` as a cursor reads them
// (readLoop): {"system", "hz", "designed", "model", "sampled"}, each
// {"dB", "deg"} or null where it is not computed there.
std::string responseAtJson(const SimSettings& s, int system, double hz);

// The root locus of `quantity` ("fn2", "alpha2", "ratio", "period"),
// `width` px wide: {"svg", "quantity", "computed", "none": why not (""
// when computed), "zPlane", "current", "values", "branches": two lists of
// [re, im] (null where a branch has no pole), "at": the poles in force
// [[re, im], ...], "quantities": the names that apply to the settings}.
// An unknown name: {"computed": false, "none": "no such quantity: ..."}
// and the svg of fn2's locus.
std::string locusChartJson(const SimSettings& s, const std::string& quantity, const std::vector<OtherRun>& others,
                           double width);

}  // namespace hybridsim
