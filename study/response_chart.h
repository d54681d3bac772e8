// The frequency response of the two control loops as a chart
// (study/frequency_response.h): per loop |H| [dB] and the phase [deg] over
// the frequency on a log scale, the designed response dashed, the model's
// solid, the sampled one (contact=spring with a control period) dotted,
// each loop in its colour; on |H| the -3 dB bandwidth and the peak of each
// marked and labelled; the pins' model (and sampled) responses in their
// colours.  The x of every panel is log10 of the frequency in Hz.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "sim/settings.h"
#include "study/frequency_response.h"
#include "study/study_plot.h"
#include "study/svg_chart.h"

namespace hybridsim {

// The panels' order: the force loop's |H| and phase, then the position
// loop's (the force loop first: the position loop's model is 1 at every
// frequency).
struct ResponsePanelKind {
    int system = 2;
    bool magnitude = true;  // else the phase
};
constexpr std::array<ResponsePanelKind, 4> responsePanels{{{2, true}, {2, false}, {1, true}, {1, false}}};

// The range of a loop's panels [Hz]: its responses' ranges together (the
// sampled one may start lower and ends at the Nyquist frequency).
struct FrequencyRange {
    double low = 0.0, high = 0.0;
};
FrequencyRange responseRange(const LoopResponse& r);

// The chart, `width` px wide, the panels in the order of responsePanels.
Chart responseChart(const SimSettings& s, const std::vector<OtherRun>& others, double width);

// A response read at one frequency, as a cursor shows it: |H| [dB] and the
// phase [deg] turned by whole turns to the nearest of the chart's line
// there (the line is continuous, the value at one frequency only known to
// a turn).  Not computed where the response is not, or `hz` lies outside
// its grid.
struct ResponseReading {
    bool computed = false;
    double decibels = 0.0;
    double degrees = 0.0;
};
ResponseReading readResponse(const Response& grid, const Gain& g, double hz);

// The designed, model and sampled readings of system 1 or 2 at `hz`.
struct LoopReading {
    ResponseReading designed, model, sampled;
};
LoopReading readLoop(const SimSettings& s, int system, double hz);

}  // namespace hybridsim
