#include "study/response_chart.h"

#include <algorithm>
#include <cmath>

#include "portable_math/portable_math.h"
#include "study/loop_poles.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {


const char* loopColour(int system) { return system == 1 ? errorLineColour : forceLineColour; }

// a line is drawn through at most this many of the grid's points (a grid
// over very many decades has thousands; a panel is some hundred px wide)
constexpr std::size_t mostDrawn = 400;

// |H| or the phase of a response over log10 of its frequencies: every
// grid point, or every k-th and the last where the grid has more than mostDrawn
ChartSeries responseLine(const std::string& label, const std::string& colour, const Response& r, bool magnitude)
{
    ChartSeries line{label, colour, {}, {}};
    if (!r.computed || r.frequency.empty()) return line;
    const std::size_t n = r.frequency.size();
    const std::size_t every = (n + mostDrawn - 1) / mostDrawn;
    auto add = [&](std::size_t i) {
        line.x.push_back(pmath::log10(r.frequency[i]));
        line.y.push_back(magnitude ? r.magnitude[i] : r.phase[i]);
    };
    for (std::size_t i = 0; i < n; i += every) add(i);
    if ((n - 1) % every != 0) add(n - 1);
    return line;
}

// the bandwidth (3 dB below the DC gain) and the peak (its height above
// the DC gain) of a response marked on its |H|
void markFigures(std::vector<ChartNote>& notes, const std::string& kind, const std::string& colour, const Response& r)
{
    if (!r.computed || !(r.dcGain > 0.0) || !std::isfinite(r.dcGain)) return;
    const double dc = 20.0 * pmath::log10(r.dcGain);
    if (r.hasBandwidth)
        notes.push_back({"bandwidth-" + kind, format("%s -3 dB %.3g Hz", kind.c_str(), r.bandwidth), colour,
                         pmath::log10(r.bandwidth), dc - 3.0});
    if (r.hasPeak)
        notes.push_back({"peak-" + kind, format("%s peak %.2g dB", kind.c_str(), r.peak), colour,
                         pmath::log10(r.peakFrequency), dc + r.peak});
}

// ticks at whole decades, every decade or every second, third... so that
// at most eight fit
AxisScale decades(const FrequencyRange& range)
{
    AxisScale a;
    a.lo = pmath::log10(range.low);
    a.hi = pmath::log10(range.high);
    const double span = a.hi - a.lo;
    a.step = std::max(1.0, std::ceil(span / 8.0));
    for (double t = std::ceil(a.lo / a.step) * a.step; t <= a.hi + 1e-9; t += a.step) a.ticks.push_back(t);
    return a;
}

// the grid's phase at hz: linear in log10 of the frequency between its points
double gridPhase(const Response& grid, double hz)
{
    const auto above = std::lower_bound(grid.frequency.begin(), grid.frequency.end(), hz);
    const std::size_t j = static_cast<std::size_t>(above - grid.frequency.begin());
    if (j == 0) return grid.phase.front();
    if (j >= grid.frequency.size()) return grid.phase.back();
    const double a = pmath::log10(grid.frequency[j - 1]), b = pmath::log10(grid.frequency[j]);
    const double share = b > a ? (pmath::log10(hz) - a) / (b - a) : 0.0;
    return grid.phase[j - 1] + share * (grid.phase[j] - grid.phase[j - 1]);
}

}  // namespace

FrequencyRange responseRange(const LoopResponse& r)
{
    FrequencyRange range{r.low, r.high};
    if (r.sampled.computed && !r.sampled.frequency.empty()) {
        range.low = std::min(range.low, r.sampled.frequency.front());
        range.high = std::max(range.high, r.sampled.frequency.back());
    }
    return range;
}

Chart responseChart(const SimSettings& s, const std::vector<OtherRun>& others, double width)
{
    Chart c;
    c.panelWidth = std::max(chartNarrowest, width) - chartMargins;
    c.panelHeight = 200.0;
    c.alignPlots = true;
    c.accessibleName = "the frequency response of the control loops, magnitude and phase over the frequency: "
                       "designed dashed, model solid, sampled dotted, with the bandwidth and the peak marked";
    const std::array<LoopResponse, 2> loops = loopResponses(s);
    std::vector<std::array<LoopResponse, 2>> pins;
    for (const OtherRun& o : others) pins.push_back(o.settings ? loopResponses(*o.settings) : std::array<LoopResponse, 2>{});
    c.keys = {{"designed response", chartKeyColour, true},
              {"model response", chartKeyColour},
              {"sampled response", chartKeyColour, false, true},
              {"1: position", errorLineColour},
              {"2: force", forceLineColour}};
    for (const OtherRun& o : others)
        if (o.settings) c.keys.push_back({o.name + ", model", o.colour});
    for (const ResponsePanelKind& k : responsePanels) {
        const LoopResponse& l = loops[static_cast<std::size_t>(k.system - 1)];
        const std::string loop = k.system == 1 ? "position loop (1)" : "force loop (2)";
        ChartPanel p{loop + (k.magnitude ? ": magnitude" : ": phase"), "frequency [Hz]",
                     k.magnitude ? "|H| [dB]" : "phase [deg]", {}, {}};
        p.legend = false;
        p.xLog10 = true;
        p.xScale = decades(responseRange(l));
        const std::string colour = loopColour(k.system);
        for (std::size_t i = 0; i < others.size(); ++i) {
            if (!others[i].settings) continue;
            const LoopResponse& o = pins[i][static_cast<std::size_t>(k.system - 1)];
            p.series.push_back(responseLine(others[i].name + ", model", others[i].colour, o.model, k.magnitude));
            ChartSeries sampled = responseLine(others[i].name + ", sampled", others[i].colour, o.sampled, k.magnitude);
            sampled.dotted = true;
            if (!sampled.x.empty()) p.series.push_back(std::move(sampled));
        }
        ChartSeries designed = responseLine("system " + std::to_string(k.system) + ", designed", colour, l.designed,
                                            k.magnitude);
        designed.dashed = true;
        p.series.push_back(std::move(designed));
        p.series.push_back(responseLine("system " + std::to_string(k.system) + ", model", colour, l.model, k.magnitude));
        if (l.sampled.computed) {
            ChartSeries sampled = responseLine("system 2, sampled", colour, l.sampled, k.magnitude);
            sampled.dotted = true;
            p.series.push_back(std::move(sampled));
        }
        if (k.magnitude) {
            markFigures(p.notes, "designed", colour, l.designed);
            markFigures(p.notes, "model", colour, l.model);
            markFigures(p.notes, "sampled", colour, l.sampled);
        }
        c.panels.push_back(std::move(p));
    }
    return c;
}

ResponseReading readResponse(const Response& grid, const Gain& g, double hz)
{
    ResponseReading r;
    if (!grid.computed || grid.frequency.empty() || !(hz >= grid.frequency.front()) || !(hz <= grid.frequency.back()))
        return r;
    const double size = pmath::hypot(g.re, g.im);
    r.decibels = 20.0 * pmath::log10(size);
    const double principal = pmath::atan2(g.im, g.re) * 360.0 / twoPi;
    const double turns = std::floor((gridPhase(grid, hz) - principal) / 360.0 + 0.5);
    r.degrees = principal + 360.0 * turns;
    r.computed = std::isfinite(r.decibels) && std::isfinite(r.degrees);
    return r;
}

LoopReading readLoop(const SimSettings& s, int system, double hz)
{
    LoopReading out;
    if (system != 1 && system != 2) return out;
    const std::size_t k = static_cast<std::size_t>(system - 1);
    const LoopPoles l = loopPoles(s)[k];
    const LoopResponse r = loopResponses(s)[k];
    out.designed = readResponse(r.designed, designedResponseAt(l, hz), hz);
    out.model = readResponse(r.model, modelResponseAt(l, hz), hz);
    if (l.discrete.computed) out.sampled = readResponse(r.sampled, sampledResponseAt(l, hz), hz);
    return out;
}

}  // namespace hybridsim
