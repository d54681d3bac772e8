#include "study/loops_chart.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <limits>

#include "portable_math/portable_math.h"
#include "study/loop_poles.h"
#include "study/scale_range.h"
#include "study/step_response.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The recorded force and the closed form are drawn at about this many
// times across the view (and at the times of the marks).
constexpr int curvePoints = 480;

bool atOrigin(const Pole& p) { return p.re == 0.0 && p.im == 0.0; }

}  // namespace

double slowestForceTimeConstant(const SimSettings& s)
{
    double slowest = notANumber;  // the smallest |re| off the origin
    const std::array<LoopPoles, 2> loops = loopPoles(s);
    for (const Pole& p : loops[1].model) {
        if (atOrigin(p)) continue;
        if (!(p.re < 0.0)) return notANumber;  // right of the axis, on it, or not a number
        if (std::isnan(slowest) || -p.re < slowest) slowest = -p.re;
    }
    const double tau = 1.0 / slowest;
    return std::isfinite(tau) ? tau : notANumber;
}

StepView stepView(const SimSettings& s, const SeriesSet& set, bool wholeRun)
{
    StepView v;
    v.from = set.time[0];
    v.runEnd = set.time[lastSample(s)];
    const double end = v.from + stepTimeConstants * slowestForceTimeConstant(s);
    v.zoomEnd = std::isfinite(end) && end < v.runEnd ? end : v.runEnd;
    v.until = wholeRun ? v.runEnd : v.zoomEnd;
    return v;
}

namespace {

bool inView(double t, double from, double until) { return std::isfinite(t) && t >= from && t <= until; }

// the times drawn: evenly over the view, and the marks' own in their places
std::vector<double> stepTimes(const RunSummary& r, double from, double until)
{
    std::vector<double> times;
    for (int k = 0; k <= curvePoints; ++k) times.push_back(from + (until - from) * k / curvePoints);
    if (r.stepRead) {
        for (double t : {r.peakTime, r.riseFromTime, r.riseToTime, r.settlingTime}) {
            const auto at = std::lower_bound(times.begin(), times.end(), t);
            if (inView(t, from, until) && (at == times.end() || *at != t)) times.insert(at, t);
        }
    }
    return times;
}

// the recorded force of a run between its samples (as the summary reads
// it), broken where it has no posture
ChartSeries recordedForce(const SimSettings& rs, const SeriesSet& rset, const std::string& label,
                          const std::string& colour, const std::vector<double>& times)
{
    const ForceStretches force = forceInReach(rs, rset);
    ChartSeries line{label, colour, times, {}};
    for (double t : times) line.y.push_back(forceAt(force, t));
    return line;
}

// the force scale: the lines in view with a little room above them for
// the marks' labels (8 % of the span, from its half: no overflow)
void scaleForceToView(ChartPanel& p, double from, double until)
{
    ValueRange inRange;
    for (const ChartSeries& line : p.series)
        for (std::size_t i = 0; i < line.x.size() && i < line.y.size(); ++i)
            if (inView(line.x[i], from, until)) inRange.cover(line.y[i]);
    if (inRange.any)
        p.yScale =
            roundScale(inRange.lo, std::min(inRange.hi + 0.16 * (inRange.hi / 2.0 - inRange.lo / 2.0), DBL_MAX), 6);
}

// the summary's figures on the recorded force (drawn at `times`): the rise
// first (its dots lie where the force climbs, the most crowded place for a
// label), then the peak and the settling time
void markStepFigures(std::vector<ChartNote>& notes, const SimSettings& s, const RunSummary& r,
                     const ChartSeries& force, double from, double until)
{
    auto within = [&](double t) { return inView(t, from, until); };
    if (std::isfinite(r.riseTime) && within(r.riseFromTime) && within(r.riseToTime)) {
        notes.push_back({"rise-from", format("rise %g %%", 100.0 * riseFromShare), chartNoteColour, r.riseFromTime,
                         riseFromShare * s.Fn});
        notes.push_back({"rise-to", format("%g %%", 100.0 * riseToShare), chartNoteColour, r.riseToTime,
                         riseToShare * s.Fn});
    }
    if (within(r.peakTime) && std::isfinite(r.peakForce))
        notes.push_back({"peak",
                         std::isfinite(r.overshootPercent) ? format("peak %.2g %%", r.overshootPercent)
                                                           : format("peak %.3g N", r.peakForce),
                         chartNoteColour, r.peakTime, r.peakForce});
    if (within(r.settlingTime)) {
        // the line's value at the settling time, one of its times
        const std::vector<double>& times = force.x;
        const double at = force.y[static_cast<std::size_t>(
            std::lower_bound(times.begin(), times.end(), r.settlingTime) - times.begin())];
        notes.push_back({"settled", format("settled %.3g s", r.settlingTime), chartNoteColour, r.settlingTime,
                         std::isfinite(at) ? at : s.Fn});
    }
}

}  // namespace

Chart loopsStepChart(const SimSettings& s, const SeriesSet& set, const RunSummary& r, const StepView& view,
                     const std::vector<OtherRun>& others, double width)
{
    Chart c;
    c.panelWidth = std::max(chartNarrowest, width) - chartMargins;
    c.panelHeight = 270.0;
    c.accessibleName = "the contact force of the run, with its peak, rise and settling time marked, over the "
                       "model's step in closed form";
    const double from = view.from;
    const double until = view.until;
    const std::vector<double> times = stepTimes(r, from, until);

    ChartPanel p{view.zoomed() ? format("force step: %d time constants", stepTimeConstants)
                               : std::string("force step: the whole run"),
                 "time t [s]", "force [N]", {}, {}};
    p.legend = false;
    if (view.zoomed()) p.xScale = scaleWithin(from, until, 7);
    for (const OtherRun& o : others) {
        if (!o.settings || !o.series) continue;
        p.series.push_back(recordedForce(*o.settings, *o.series, o.name, o.colour, times));
        c.keys.push_back({o.name, o.colour});
    }
    ChartSeries model{"model step (closed form)", modelLineColour, times, {}};
    model.dashed = true;
    for (double t : times) model.y.push_back(modelForceStep(s, t));
    ChartSeries target{"Fn", targetLineColour, {from, until}, {s.Fn, s.Fn}};
    target.dashed = true;
    ChartSeries force = recordedForce(s, set, "contact force F", forceLineColour, times);
    c.keys.insert(c.keys.begin(), {{force.label, force.colour}, {target.label, target.colour, true},
                                   {model.label, model.colour, true}});
    p.series.push_back(std::move(model));
    p.series.push_back(std::move(target));
    p.series.push_back(std::move(force));
    scaleForceToView(p, from, until);
    if (r.stepRead) markStepFigures(p.notes, s, r, p.series.back(), from, until);
    c.panels.push_back(std::move(p));
    return c;
}

Chart loopsPolesChart(const SimSettings& s, const std::vector<OtherRun>& others, double width)
{
    Chart c;
    c.panelWidth = std::max(chartNarrowest, width) - chartMargins;
    ChartPanel p = polesPanel(s, others);
    p.legend = false;
    // as tall as the plot area is wide, about: the circles' whole height in view
    c.panelHeight = std::clamp(c.panelWidth - 20.0, 240.0, 380.0);
    c.accessibleName = "the poles of the control loops in the s-plane: the designed as crosses, the model's as rings";
    c.keys = {{"designed", chartKeyColour, false, false, ChartSeries::Mark::cross},
              {"model", chartKeyColour, false, false, ChartSeries::Mark::ring},
              {"|s| = wn", chartKeyColour, true},
              {"1: position", errorLineColour},
              {"2: force", forceLineColour}};
    for (const OtherRun& o : others)
        if (o.settings) c.keys.push_back({o.name, o.colour});
    c.panels.push_back(std::move(p));
    return c;
}

Chart loopsZPlaneChart(const SimSettings& s, const std::vector<OtherRun>& others, double width)
{
    Chart c;
    const LoopPoles force = loopPoles(s)[1];
    if (force.sampled.empty()) return c;
    c.panelWidth = std::max(chartNarrowest, width) - chartMargins;
    c.panelHeight = std::clamp(c.panelWidth - 20.0, 240.0, 380.0);
    c.accessibleName = "the poles of the sampled force loop in the z-plane, with the unit circle";
    ChartPanel p{format("sampled force loop, T = %g s", force.discrete.period), "re z", "im z", {}, {}};
    p.equalScale = true;
    p.legend = false;
    auto rings = [](const std::string& label, const std::string& colour, const std::vector<Pole>& at) {
        ChartSeries marks{label, colour, {}, {}};
        marks.mark = ChartSeries::Mark::ring;
        for (const Pole& q : at) {
            marks.x.push_back(q.re);
            marks.y.push_back(q.im);
        }
        return marks;
    };
    ChartSeries circle{"|z| = 1", chartKeyColour, {}, {}};
    circle.dashed = true;
    for (int k = 0; k <= 128; ++k) {
        circle.x.push_back(pmath::cos(2.0 * pi * k / 128));
        circle.y.push_back(pmath::sin(2.0 * pi * k / 128));
    }
    p.series.push_back(std::move(circle));
    c.keys = {{"sampled, force", forceLineColour, false, false, ChartSeries::Mark::ring}, {"|z| = 1", chartKeyColour, true}};
    for (const OtherRun& o : others) {
        if (!o.settings) continue;
        const LoopPoles pin = loopPoles(*o.settings)[1];
        if (pin.sampled.empty()) continue;
        p.series.push_back(rings(o.name + ", sampled", o.colour, pin.sampled));
        c.keys.push_back({o.name, o.colour});
    }
    p.series.push_back(rings("system 2, sampled", forceLineColour, force.sampled));
    c.panels.push_back(std::move(p));
    return c;
}

LoopsCaptionFacts loopsCaptionFacts(const SimSettings& s)
{
    const std::array<LoopPoles, 2> loops = loopPoles(s);
    LoopsCaptionFacts c;
    c.force = loops[1];
    const LoopPoles& f = loops[1];
    const std::vector<Pole>& d = f.designed;
    const std::vector<Pole>& m = f.model;
    // the designed pair a double real pole (to the rounding of its roots)
    const bool pair = d.size() == 3 && pmath::hypot(d[0].re - d[1].re, d[0].im - d[1].im) <= 1e-6 * poleFrequency(d[0]) &&
                      std::fabs(d[0].im) <= 1e-6 * poleFrequency(d[0]);
    // the model's faster pole first (quadraticRoots)
    const double half = f.wn / 2.0;
    c.doubleToHalf = pair && m.size() == 2 && m[0].im == 0.0 && std::fabs(m[0].re + half) <= 0.1 * half;
    c.slowStays = c.doubleToHalf && f.alpha > 0.0 && m[1].im == 0.0 && std::fabs(m[1].re + f.alpha) <= 0.1 * f.alpha;
    c.originStays = c.doubleToHalf && f.alpha == 0.0 && atOrigin(m[1]);
    c.unstablePole = notANumber;
    for (const Pole& p : m)
        if (p.re > 0.0 && !(p.re <= c.unstablePole)) c.unstablePole = p.re;
    for (const Pole& p : d) c.designStable = c.designStable && !(p.re > 0.0);
    for (int k = 0; k < 2; ++k)
        c.originUnused[k] = loops[k].Ki == 0.0 && std::any_of(loops[k].model.begin(), loops[k].model.end(), atOrigin);
    c.spring = f.spring;
    c.ratio = f.ratio;
    c.sampled = f.discrete;
    return c;
}

}  // namespace hybridsim
