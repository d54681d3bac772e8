#include "study/study_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "portable_math/portable_math.h"
#include "study/loop_poles.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double mmPerM = 1000.0;

// colours of the run's graphs
const char* const forceColour = forceLineColour;
const char* const targetColour = targetLineColour;
const char* const errorColour = errorLineColour;
const char* const modelColour = modelLineColour;
const char* const distanceColour = "#9467bd";

// Markers on the lines of a sweep with at most this many values.
constexpr std::size_t mostMarkedPoints = 60;

// The rounding floor of an axis by its label's unit: forces and lengths.
std::optional<RoundingFloor> floorOf(const std::string& yLabel)
{
    if (yLabel.size() >= 4 && yLabel.compare(yLabel.size() - 4, 4, "[mm]") == 0) return millimetreFloor;
    if (yLabel.size() >= 3 && yLabel.compare(yLabel.size() - 3, 3, "[N]") == 0) return newtonFloor;
    return std::nullopt;
}

bool isChoice(const std::string& name)
{
    for (const TaskField& f : taskFields())
        if (name == f.name) return f.isChoice();
    return false;
}

// "fn2 [Hz]", or the name alone.
std::string axisLabel(const std::string& name)
{
    const std::string unit = settingUnit(name);
    return unit.empty() ? name : name + " [" + unit + "]";
}

// The values of a swept name as numbers, or empty when they are to be
// drawn as named places (a selector, or a value that is no number).
std::vector<double> numericValues(const std::string& name, const std::vector<std::string>& values)
{
    if (isChoice(name)) return {};
    std::vector<double> numbers;
    for (const std::string& v : values) {
        double x = 0.0;
        if (!parseDouble(v, x) || !std::isfinite(x)) return {};
        numbers.push_back(x);
    }
    return numbers;
}

}  // namespace

std::string settingUnit(const std::string& name)
{
    for (const TaskField& f : taskFields())
        if (name == f.name) return f.unit();
    return "";
}

ChartPanel forceStepPanel(const SimSettings& s, const SeriesSet& set)
{
    const int last = lastSample(s);
    // the force of a contact: only where the robot reaches (as the summary reads it)
    ChartSeries force{"contact force F", forceColour, {set.time.begin(), set.time.begin() + last + 1},
                      contactForceInReach(s, set)};
    ChartSeries target{"Fn", targetColour, {set.time[0], set.time[last]}, {s.Fn, s.Fn}};
    target.dashed = true;
    // the model's force loop in closed form: on the recorded force but for
    // the integration error
    ChartSeries model{"model force (closed form)", modelColour, {}, {}};
    model.dashed = true;
    for (int i = 0; i <= last; ++i) {
        model.x.push_back(set.time[i]);
        model.y.push_back(modelForceStep(s, set.time[i]));
    }
    ChartPanel p{"contact force", "time t [s]", "force [N]", {force, target, model}, {}};
    p.yFloor = newtonFloor;
    return p;
}

double modelForceDifference(const SimSettings& s, const SeriesSet& set, ForceDifferenceNone* why)
{
    const std::vector<double> force = contactForceInReach(s, set);
    double largest = std::nan("");
    int compared = 0;
    bool finite = true;
    for (int i = 0; i <= lastSample(s); ++i) {
        if (std::isnan(force[i])) continue;  // no posture
        const double d = std::fabs(force[i] - modelForceStep(s, set.time[i]));
        ++compared;
        finite = finite && std::isfinite(d);
        if (!(d <= largest)) largest = d;
    }
    const ForceDifferenceNone none = compared == 0   ? ForceDifferenceNone::noSampleInReach
                                     : compared == 1 ? ForceDifferenceNone::oneSampleInReach
                                     : !finite       ? ForceDifferenceNone::notFinite
                                                     : ForceDifferenceNone::computed;
    if (why) *why = none;
    return none == ForceDifferenceNone::computed ? largest : std::nan("");
}

Chart runChart(const SimSettings& s, const SeriesSet& set)
{
    const int last = lastSample(s);
    ChartSeries sErr{"sErr", errorColour, {}, {}};
    ChartSeries posErr{"|posErr|", distanceColour, {}, {}};
    for (int i = 0; i <= last; ++i) {
        const double t = set.time[i];
        sErr.x.push_back(t);
        sErr.y.push_back(mmPerM * set.sErr[i]);
        posErr.x.push_back(t);
        posErr.y.push_back(mmPerM * pmath::hypot(set.posErr[i].x, set.posErr[i].y));
    }

    Chart c;
    c.title = summaryTitle(s);
    c.subtitle = format("samples 0..%d, one every %g s", last, s.dt);
    c.columns = 1;
    c.panelWidth = 820.0;
    c.panelHeight = 230.0;
    c.panels.push_back(forceStepPanel(s, set));
    c.panels.push_back({"tangential error", "time t [s]", "sErr [mm]", {sErr}, {}});
    c.panels.push_back({"distance of the probe tip from the command point", "time t [s]", "|posErr| [mm]",
                        {posErr}, {}});
    for (ChartPanel& p : c.panels) p.yFloor = floorOf(p.yLabel);
    c.panels.push_back(polesPanel(s));
    c.panels.back().height = 380.0;  // the s-plane at equal scale: room for both halves
    return c;
}

ChartPanel polesPanel(const SimSettings& s, const std::vector<OtherRun>& others)
{
    ChartPanel p{"poles of the control loops", "re [1/s]", "im [1/s]", {}, {}};
    p.equalScale = true;
    // the poles of both systems as crosses (designed) and rings (model)
    auto poles = [](const std::string& label, const std::string& colour, const std::vector<Pole>& at,
                    ChartSeries::Mark mark) {
        ChartSeries marks{label, colour, {}, {}};
        marks.mark = mark;
        for (const Pole& q : at) {
            marks.x.push_back(q.re);
            marks.y.push_back(q.im);
        }
        return marks;
    };
    for (const OtherRun& o : others) {
        if (!o.settings) continue;
        ChartSeries designed = poles(o.name + ", designed", o.colour, {}, ChartSeries::Mark::cross);
        ChartSeries model = poles(o.name + ", model", o.colour, {}, ChartSeries::Mark::ring);
        for (const LoopPoles& l : loopPoles(*o.settings)) {
            const ChartSeries d = poles("", "", l.designed, ChartSeries::Mark::cross);
            const ChartSeries m = poles("", "", l.model, ChartSeries::Mark::ring);
            designed.x.insert(designed.x.end(), d.x.begin(), d.x.end());
            designed.y.insert(designed.y.end(), d.y.begin(), d.y.end());
            model.x.insert(model.x.end(), m.x.begin(), m.x.end());
            model.y.insert(model.y.end(), m.y.begin(), m.y.end());
        }
        p.series.push_back(std::move(designed));
        p.series.push_back(std::move(model));
    }
    const char* colours[] = {errorColour, forceColour};  // system 1 (position), 2 (force)
    for (const LoopPoles& l : loopPoles(s)) {
        const std::string n = std::to_string(l.system);
        const char* colour = colours[l.system - 1];
        p.series.push_back(poles("system " + n + ", designed", colour, l.designed, ChartSeries::Mark::cross));
        p.series.push_back(poles("system " + n + ", model", colour, l.model, ChartSeries::Mark::ring));
        // the circle of radius wn about 0, its left half (stable poles lie there)
        const double wn = l.wn;
        ChartSeries circle{"|s| = wn" + n, colour, {}, {}};
        circle.dashed = true;
        for (int k = 0; k <= 64; ++k) {
            const double a = pi / 2 + pi * k / 64;
            circle.x.push_back(std::fabs(wn) * pmath::cos(a));
            circle.y.push_back(std::fabs(wn) * pmath::sin(a));
        }
        p.series.push_back(circle);
    }
    return p;
}

namespace {

// the series of a compared run as the run chart reads them
struct RunLines {
    std::vector<double> t, force, sErr, posErr;
};

RunLines runLines(const ComparedRun& r)
{
    RunLines l;
    const SimSettings& s = *r.settings;
    const SeriesSet& set = *r.series;
    l.force = contactForceInReach(s, set);
    for (int i = 0; i <= lastSample(s); ++i) {
        l.t.push_back(set.time[i]);
        l.sErr.push_back(mmPerM * set.sErr[i]);
        l.posErr.push_back(mmPerM * pmath::hypot(set.posErr[i].x, set.posErr[i].y));
    }
    return l;
}

// the colour of compared run k: the force's for the main run, a pin's for the others
std::string comparedColour(std::size_t k)
{
    return k == 0 ? std::string(forceColour) : format("#%06x", static_cast<unsigned>(pinColour(int(k) - 1)));
}

// the lines and panels name a run by its file's own name; the keys
// above the panels by the name given
std::string shortRunName(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos || slash + 1 == name.size() ? name : name.substr(slash + 1);
}

// the keys, and the panels of force, tangential error and distance with
// every run's line in each
void addComparedPanels(Chart& c, const std::vector<ComparedRun>& runs, const std::vector<RunLines>& lines)
{
    const ComparedRun& main = runs.front();
    const SimSettings& ms = *main.settings;
    ChartPanel force{"contact force", "time t [s]", "force [N]", {}, {}};
    ChartPanel sErr{"tangential error", "time t [s]", "sErr [mm]", {}, {}};
    ChartPanel posErr{"distance of the probe tip from the command point", "time t [s]", "|posErr| [mm]", {}, {}};
    bool sameFn = true;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const std::string colour = comparedColour(k);
        const std::string name = shortRunName(runs[k].name);
        c.keys.push_back({runs[k].name + (k == 0 ? std::string()
                                                  : ": " + differencesText(settingDifferences(*runs[k].settings, ms),
                                                                           main.name)),
                          colour});
        force.series.push_back({name, colour, lines[k].t, lines[k].force});
        sErr.series.push_back({name, colour, lines[k].t, lines[k].sErr});
        posErr.series.push_back({name, colour, lines[k].t, lines[k].posErr});
        sameFn = sameFn && runs[k].settings->Fn == ms.Fn;
    }
    // the commanded forces, dashed: one line when every run has the same
    for (std::size_t k = 0; k < runs.size() && (k == 0 || !sameFn); ++k) {
        const std::vector<double>& t = lines[k].t;
        ChartSeries target{sameFn ? "Fn" : "Fn " + shortRunName(runs[k].name),
                           sameFn ? targetColour : comparedColour(k),
                           {t.front(), t.back()}, {runs[k].settings->Fn, runs[k].settings->Fn}};
        target.dashed = true;
        force.series.push_back(target);
    }
    for (ChartPanel* p : {&force, &sErr, &posErr}) {
        p->wide = true;
        p->yFloor = floorOf(p->yLabel);
        c.panels.push_back(*p);
    }
}

// run k's difference from the main run, sample by sample: a panel each of
// force, tangential error and distance
void addDifferencePanels(Chart& c, const std::vector<ComparedRun>& runs, const std::vector<RunLines>& lines,
                         std::size_t k)
{
    const std::string& mainName = runs.front().name;
    const RunLines& a = lines[k];
    const RunLines& m = lines[0];
    const std::size_t n = std::min(a.t.size(), m.t.size());
    auto minus = [n](const std::vector<double>& x, const std::vector<double>& y) {
        std::vector<double> d(n);
        for (std::size_t i = 0; i < n; ++i) d[i] = x[i] - y[i];
        return d;
    };
    const std::vector<double> t(m.t.begin(), m.t.begin() + static_cast<std::ptrdiff_t>(n));
    const std::string who = shortRunName(runs[k].name) + " - " + mainName;
    const std::string colour = comparedColour(k);
    const struct {
        const char* what;
        std::string yLabel;
        std::vector<double> y;
    } panels[] = {
        {"force", "F - F " + mainName + " [N]", minus(a.force, m.force)},
        {"sErr", "sErr - sErr " + mainName + " [mm]", minus(a.sErr, m.sErr)},
        {"|posErr|", "|posErr| - |posErr| " + mainName + " [mm]", minus(a.posErr, m.posErr)},
    };
    for (const auto& d : panels) {
        ChartPanel p{who + ": " + d.what, "time t [s]", d.yLabel, {{who, colour, t, d.y}}, {}};
        p.legend = false;
        p.yFloor = floorOf(d.yLabel);
        c.panels.push_back(std::move(p));
    }
}

}  // namespace

Chart compareChart(const std::vector<ComparedRun>& runs)
{
    Chart c;
    if (runs.empty()) return c;
    const SimSettings& ms = *runs.front().settings;
    const int last = lastSample(ms);
    c.title = summaryTitle(ms) + ", compared with " + std::to_string(runs.size() - 1) +
              (runs.size() == 2 ? " other run" : " other runs");
    c.subtitle = format("samples 0..%d, one every %g s", last, ms.dt);
    c.columns = 3;
    c.panelWidth = 300.0;
    c.panelHeight = 230.0;
    std::vector<RunLines> lines;
    for (const ComparedRun& r : runs) lines.push_back(runLines(r));
    addComparedPanels(c, runs, lines);
    for (std::size_t k = 1; k < runs.size(); ++k) addDifferencePanels(c, runs, lines, k);
    return c;
}

namespace {

// The force of every run of a sweep of one name, coloured by the swept
// value, and its start close up: sweepChart's last panels.
void addForcePanels(const SweepPlotInput& in, const std::vector<double>& numbers, Chart& c)
{
    const std::string& first = in.names[0];
    const std::size_t n1 = in.values[0].size();
    std::vector<std::size_t> order(n1);
    std::iota(order.begin(), order.end(), 0);
    if (!numbers.empty())
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return numbers[a] < numbers[b]; });
    ChartPanel overlay{"contact force of every run", "time t [s]", "force [N]", {}, {}};
    overlay.wide = true;
    overlay.yFloor = newtonFloor;
    overlay.height = std::max(260.0, 60.0 + 14.0 * static_cast<double>(n1 + 1));
    bool sameFn = true;
    double Fn = notANumber;
    double t0 = notANumber, t1 = notANumber;
    for (std::size_t rank = 0; rank < n1 && rank < in.tasks.size(); ++rank) {
        const SweepPlotTask& t = in.tasks[order[rank]];
        if (!t.computed || t.time.empty()) continue;
        const double share = n1 > 1 ? static_cast<double>(rank) / static_cast<double>(n1 - 1) : 0.0;
        ChartSeries line{first + " = " + t.values[0], rampColour(share), t.time, t.force};
        overlay.series.push_back(std::move(line));
        sameFn = sameFn && (std::isnan(Fn) || Fn == t.Fn);
        Fn = t.Fn;
        t0 = std::isnan(t0) ? t.time.front() : std::min(t0, t.time.front());
        t1 = std::isnan(t1) ? t.time.back() : std::max(t1, t.time.back());
    }
    if (overlay.series.empty()) return;
    if (sameFn) {
        ChartSeries target{"Fn", "#000000", {t0, t1}, {Fn, Fn}};
        target.dashed = true;
        overlay.series.push_back(target);
    }

    // the step responses close up: up to half as long again as the slowest
    // run takes to settle (or to reach Fn), when that is a short part of the run
    double slowest = 0.0;
    for (const SweepPlotTask& t : in.tasks) {
        if (!t.computed) continue;
        const double settled = std::isfinite(t.summary.settlingTime)
                                   ? t.summary.settlingTime
                                   : (t.summary.forceReached ? t.summary.forceReachedTime : notANumber);
        if (std::isfinite(settled)) slowest = std::max(slowest, settled);
    }
    const double until = roundScale(0.0, 1.5 * slowest, 6).hi;
    ChartPanel start = overlay;
    start.title = "contact force of every run, the first " + tickText(until, until) + " s";
    for (ChartSeries& line : start.series) {
        std::size_t n = 0;
        while (n < line.x.size() && !(line.x[n] > until)) ++n;
        line.x.resize(n);
        line.y.resize(n);
        if (line.label == "Fn") line = {"Fn", line.colour, {t0, until}, {Fn, Fn}, true};
    }
    c.panels.push_back(std::move(overlay));
    if (slowest > 0.0 && until < 0.5 * (t1 - t0)) c.panels.push_back(std::move(start));
}

}  // namespace

Chart sweepChart(const SweepPlotInput& in)
{
    Chart c;
    const std::size_t names = in.names.size();
    if (names == 0 || in.values.size() != names) return c;
    const std::string& first = in.names[0];
    const std::vector<std::string>& firstValues = in.values[0];
    const std::size_t n1 = firstValues.size();
    const std::size_t n2 = names > 1 ? in.values[1].size() : 1;
    c.title = names > 1 ? "sweep of " + first + " and " + in.names[1] : "sweep of " + first;
    c.subtitle = in.task;
    c.columns = 3;
    c.panelWidth = 320.0;
    c.panelHeight = 230.0;

    // x: the values as numbers, or as named places 0, 1, ...
    const std::vector<double> numbers = numericValues(first, firstValues);
    std::vector<double> xs(n1);
    for (std::size_t i = 0; i < n1; ++i) xs[i] = numbers.empty() ? static_cast<double>(i) : numbers[i];
    // one line per value of the second name, told apart by colour
    std::vector<std::string> colours(n2, paletteColour(0));
    for (std::size_t j = 0; j < n2 && names > 1; ++j) {
        colours[j] = n2 <= 10 ? paletteColour(j) : rampColour(static_cast<double>(j) / static_cast<double>(n2 - 1));
        c.keys.push_back({in.names[1] + " = " + in.values[1][j], colours[j]});
    }

    for (const SummaryFigure* f : sweepFigures()) {
        const std::string yLabel = sweepAxisLabel(*f);
        ChartPanel p{f->sweepTitle, axisLabel(first), yLabel, {}, numbers.empty() ? firstValues : std::vector<std::string>{}};
        p.legend = false;
        p.yFloor = floorOf(yLabel);
        for (std::size_t j = 0; j < n2; ++j) {
            ChartSeries line{names > 1 ? in.names[1] + " = " + in.values[1][j] : first, colours[j], {}, {}};
            line.markers = n1 <= mostMarkedPoints;
            for (std::size_t i = 0; i < n1; ++i) {
                const std::size_t t = i * n2 + j;
                if (t >= in.tasks.size()) break;
                line.x.push_back(xs[i]);
                line.y.push_back(in.tasks[t].computed ? f->factor * f->value(in.tasks[t].summary) : notANumber);
            }
            p.series.push_back(std::move(line));
        }
        c.panels.push_back(std::move(p));
    }

    // the force of every run, coloured by the swept value
    if (sweepOverlaysForce(names, n1)) addForcePanels(in, numbers, c);
    return c;
}

}  // namespace hybridsim
