// The control loops' charts as the page shows them: the step's time axis
// over five time constants of the model's slowest force pole, the summary's
// figures marked where they fall, the pins' lines and poles in their
// colours, the s-plane at equal scale; and the facts of the caption.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "sim/run.h"
#include "study/loop_poles.h"
#include "study/loops_chart.h"
#include "study/loops_plot.h"
#include "study/response_chart.h"
#include "study/root_locus.h"
#include "study/study_graphs.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

// The default task after `sets` (NAME=VALUE; "zeta=..." both loops'
// damping ratios at once), derived and run.
struct Run {
    SimSettings s = testing::defaultSettings();
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    const SeriesSet& set() const { return currentSeries(*run, s.type); }
};
std::unique_ptr<Run> runOf(const std::vector<std::string>& sets)
{
    auto r = std::make_unique<Run>();
    for (const std::string& one : sets) {
        const std::size_t eq = one.find('=');
        if (one.substr(0, eq) == "zeta")
            r->s.zeta1 = r->s.zeta2 = std::stod(one.substr(eq + 1));
        else
            EXPECT_TRUE(setTaskSetting(r->s, one.substr(0, eq), one.substr(eq + 1)).ok) << one;
    }
    deriveSettings(r->s);
    calcontrol(r->s, *r->run);
    return r;
}

// The smallest |re| of the force loop's model poles off the origin.
double slowestRate(const SimSettings& s)
{
    double slowest = INFINITY;
    const auto loops = loopPoles(s);
    for (const Pole& p : loops[1].model)
        if (p.re != 0.0 || p.im != 0.0) slowest = std::min(slowest, -p.re);
    return slowest;
}

// Five time constants of the slowest force pole off the origin, no more
// than the run; the whole run when a pole lies right of the axis; the
// whole run always when asked for.
TEST(LoopsChart, TheStepShowsFiveTimeConstantsOfTheSlowestForcePole)
{
    const struct {
        std::vector<std::string> sets;
        double expected;  // the end by default [s]; 0: the run's end
    } cases[] = {
        {{}, 5.0 / 2.0006544696893336},                             // the slow pole near -alpha2
        {{"alpha2=0"}, 5.0 / 62.827},                               // PD: the pole at the origin left out
        {{"alpha2=0", "fn2=0.15"}, 0.0},                            // a pole at +0.059: unstable
        {{"alpha2=0.1"}, 0.0},                                      // 50 s of a slow pole: the run is shorter
        {{"fn2=1", "alpha2=50"}, 5.0 / 5.3267},                     // a complex pair, its |re| the rate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.sets));
        const auto r = runOf(c.sets);
        const double runEnd = r->set().time[lastSample(r->s)];
        const StepView v = stepView(r->s, r->set(), false);
        EXPECT_EQ(v.from, 0.0);
        EXPECT_EQ(v.runEnd, runEnd);
        if (c.expected > 0.0) {
            EXPECT_NEAR(v.zoomEnd, c.expected, 1e-3 * c.expected);
            EXPECT_NEAR(v.zoomEnd, 5.0 / slowestRate(r->s), 1e-12 * v.zoomEnd);
            EXPECT_TRUE(v.zoomed());
        } else {
            const double tau = slowestForceTimeConstant(r->s);
            EXPECT_TRUE(std::isnan(tau) || 5.0 * tau >= runEnd) << tau;
            EXPECT_EQ(v.zoomEnd, runEnd);
            EXPECT_FALSE(v.zoomed());
        }
        EXPECT_EQ(v.until, v.zoomEnd);
        const StepView whole = stepView(r->s, r->set(), true);
        EXPECT_EQ(whole.until, runEnd);
        EXPECT_EQ(whole.zoomEnd, v.zoomEnd);
    }
    // the complex pair: its real part sets the time constant
    const auto pair = runOf({"fn2=1", "alpha2=50"});
    const std::vector<Pole> m = loopPoles(pair->s)[1].model;
    ASSERT_EQ(m.size(), 2u);
    EXPECT_NE(m[0].im, 0.0);
    EXPECT_NEAR(slowestForceTimeConstant(pair->s), -1.0 / m[0].re, 1e-12);
}

// The marks stand on the summary's own figures: each dot where its time
// and force lie on the chart's axes, a label saying the figure; a figure
// outside the view, or none, has no mark.  The pins' forces in their colours.
TEST(LoopsChart, TheMarksStandOnTheSummarysFiguresAndThePinsInTheirColours)
{
    const auto pin = runOf({"fn2=60"});
    const std::vector<OtherRun> others{{&pin->s, &pin->set(), "pin 2", "#ff00ff"}};
    for (const std::vector<std::string>& sets : {std::vector<std::string>{}, {"alpha2=0"}}) {
        const auto r = runOf(sets);
        const RunSummary sum = summarizeRun(r->s, r->set());
        for (const bool whole : {false, true}) {
            SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(sets) << (whole ? " the whole run" : ""));
            const StepView v = stepView(r->s, r->set(), whole);
            const Chart c = loopsStepChart(r->s, r->set(), sum, v, others, 420.0);
            const PanelLayout at = chartLayout(c).panels.at(0);
            EXPECT_NEAR(at.xs.hi, v.until, 1e-12 * v.until);
            EXPECT_EQ(at.xs.lo, 0.0);
            const std::string svg = chartSvg(c);
            // the marks in the order written: rise from, rise to, peak, settled
            struct Mark {
                std::string kind;
                double t, F;
                std::string label;
            };
            std::vector<Mark> want{{"rise-from", sum.riseFromTime, 0.1 * r->s.Fn, "rise 10 %"},
                                   {"rise-to", sum.riseToTime, 0.9 * r->s.Fn, "90 %"}};
            if (std::isfinite(sum.peakTime))
                want.push_back({"peak", sum.peakTime, sum.peakForce, format("peak %.2g %%", sum.overshootPercent)});
            want.push_back({"settled", sum.settlingTime, r->s.Fn, format("settled %.3g s", sum.settlingTime)});
            const std::regex note("data-kind=\"([-a-z]+)\">(?:<line[^>]*>)?<circle class=\"note-point\" cx=\"([-0-9.]+)\" "
                                  "cy=\"([-0-9.]+)\"[^>]*><text[^>]*>([^<]*)</text>");
            std::size_t k = 0;
            for (auto m = std::sregex_iterator(svg.begin(), svg.end(), note); m != std::sregex_iterator(); ++m, ++k) {
                ASSERT_LT(k, want.size());
                const Mark& w = want[k];
                EXPECT_EQ((*m)[1], w.kind);
                EXPECT_NEAR(std::stod((*m)[2]), at.X(w.t), 0.051) << w.kind;
                // the settled dot on the force where it settles: within the 2 % band of Fn
                EXPECT_NEAR(std::stod((*m)[3]), at.Y(w.F), w.kind == "settled" ? at.Y(0.0) - at.Y(0.021 * w.F) : 0.051)
                    << w.kind;
                EXPECT_EQ((*m)[4], w.label);
            }
            EXPECT_EQ(k, want.size());
            ASSERT_EQ(c.panels[0].series.size(), 4u);
            // the pin's force first, in its colour and named in the legend
            EXPECT_EQ(c.panels[0].series[0].colour, "#ff00ff");
            EXPECT_EQ(c.keys.back().label, "pin 2");
            EXPECT_EQ(c.keys.back().colour, "#ff00ff");
            EXPECT_NE(svg.find("stroke=\"#ff00ff\""), std::string::npos);
        }
    }
    // a view that ends before the force settles: no settling mark
    const auto slow = runOf({"fn2=2"});
    const RunSummary sum = summarizeRun(slow->s, slow->set());
    StepView early = stepView(slow->s, slow->set(), false);
    early.until = 0.5 * sum.settlingTime;
    const std::string svg = chartSvg(loopsStepChart(slow->s, slow->set(), sum, early, {}, 420.0));
    EXPECT_EQ(svg.find("data-kind=\"settled\""), std::string::npos);
    EXPECT_NE(svg.find("data-kind=\"rise-from\""), std::string::npos);
}

// The s-plane: one unit of re as many pixels as one of im (the circles
// round), every pole of the run and of the pins inside the plot area, the
// pins' poles as crosses and rings in their colours.
TEST(LoopsChart, TheSPlaneIsAtEqualScaleWithThePinsPoles)
{
    const auto run = runOf({});
    const auto pin = runOf({"fn2=60", "alpha2=0"});
    const std::vector<OtherRun> others{{&pin->s, &pin->set(), "pin 1", "#ff7f0e"}};
    for (const double width : {240.0, 356.0, 591.0, 1000.0}) {
        SCOPED_TRACE(width);
        const Chart c = loopsPolesChart(run->s, others, width);
        const ChartLayout layout = chartLayout(c);
        EXPECT_EQ(layout.width, width);
        const PanelLayout& at = layout.panels.at(0);
        EXPECT_NEAR((at.x1 - at.x0) / (at.xs.hi - at.xs.lo), (at.y1 - at.y0) / (at.ys.hi - at.ys.lo), 1e-9);
        for (const auto* s : {&run->s, &pin->s})
            for (const LoopPoles& l : loopPoles(*s))
                for (const auto* set : {&l.designed, &l.model})
                    for (const Pole& p : *set) {
                        EXPECT_GT(at.X(p.re), at.x0);
                        EXPECT_LT(at.X(p.re), at.x1);
                        EXPECT_GT(at.Y(p.im), at.y0);
                        EXPECT_LT(at.Y(p.im), at.y1);
                    }
        // the pin's crosses and rings: both loops' poles, at their places
        const ChartSeries& crosses = c.panels[0].series.at(0);
        const ChartSeries& rings = c.panels[0].series.at(1);
        EXPECT_EQ(crosses.colour, "#ff7f0e");
        EXPECT_EQ(crosses.mark, ChartSeries::Mark::cross);
        EXPECT_EQ(rings.colour, "#ff7f0e");
        EXPECT_EQ(rings.mark, ChartSeries::Mark::ring);
        const auto loops = loopPoles(pin->s);
        ASSERT_EQ(crosses.x.size(), 6u);
        ASSERT_EQ(rings.x.size(), 4u);
        EXPECT_EQ(crosses.x[3], loops[1].designed[0].re);
        EXPECT_EQ(rings.x[2], loops[1].model[0].re);
        // named in the legend above the plane
        EXPECT_EQ(c.keys.back().label, "pin 1");
    }
}

// The z-plane beside the s-plane only for a sampled force loop: the unit
// circle at equal scale, the sampled poles (one outside it at 40 ms) as
// rings in the force's colour, a pin's in its colour; empty for the ideal
// contact and for the continuous spring.
TEST(LoopsChart, TheZPlaneShowsTheSampledPolesAndTheUnitCircle)
{
    EXPECT_TRUE(loopsZPlaneChart(runOf({})->s, {}, 420.0).panels.empty());
    SimSettings s = testing::defaultSettings();
    s.springContact = true;
    EXPECT_TRUE(loopsZPlaneChart(s, {}, 420.0).panels.empty());
    s.controlPeriod = 0.04;
    SimSettings pin = s;
    pin.controlPeriod = 0.02;
    const RunSeries none;
    const std::vector<OtherRun> others{{&pin, &currentSeries(none, pin.type), "pin 1", "#ff7f0e"}};
    const LoopPoles force = loopPoles(s)[1];
    ASSERT_TRUE(force.discrete.unstable);
    for (const double width : {240.0, 591.0}) {
        const Chart c = loopsZPlaneChart(s, others, width);
        const ChartLayout layout = chartLayout(c);
        EXPECT_EQ(layout.width, width);
        const PanelLayout& at = layout.panels.at(0);
        EXPECT_NEAR((at.x1 - at.x0) / (at.xs.hi - at.xs.lo), (at.y1 - at.y0) / (at.ys.hi - at.ys.lo), 1e-9);
        const std::vector<ChartSeries>& series = c.panels[0].series;
        ASSERT_EQ(series.size(), 3u);
        // the circle: radius 1 all round
        for (std::size_t k = 0; k < series[0].x.size(); ++k)
            EXPECT_NEAR(std::hypot(series[0].x[k], series[0].y[k]), 1.0, 1e-12);
        EXPECT_TRUE(series[0].dashed);
        // the pin's, then the run's poles, all within the plane shown
        EXPECT_EQ(series[1].colour, "#ff7f0e");
        EXPECT_EQ(series[1].x.at(1), loopPoles(pin)[1].sampled.at(1).re);
        EXPECT_EQ(series[2].colour, forceLineColour);
        EXPECT_EQ(series[2].mark, ChartSeries::Mark::ring);
        ASSERT_EQ(series[2].x.size(), 2u);
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(series[2].x[k], force.sampled[k].re);
            EXPECT_EQ(series[2].y[k], force.sampled[k].im);
            EXPECT_GT(at.X(series[2].x[k]), at.x0);
            EXPECT_LT(at.X(series[2].x[k]), at.x1);
        }
        EXPECT_LT(at.X(-force.discrete.largest), at.X(-1.0));  // left of the circle
        EXPECT_EQ(c.keys.back().label, "pin 1");
    }
}

// The caption's facts: the designed double pole gone to one pole near
// -wn/2 and the slow pole near -alpha kept (or the pole at the origin with
// alpha 0, the integral state unused); an unstable model loop's pole; and
// none of these where the poles say otherwise.
TEST(LoopsChart, TheCaptionsFactsFollowThePoles)
{
    struct Case {
        std::vector<std::string> sets;
        bool toHalf, slow, origin;
        double unstable;  // 0: none
        bool unused1, unused2;
    };
    const Case cases[] = {
        {{}, true, true, false, 0.0, true, false},
        {{"alpha2=0"}, true, false, true, 0.0, true, true},
        {{"alpha2=0", "fn2=0.15"}, false, false, false, 0.0592776, true, true},
        {{"alpha1=3"}, true, true, false, 0.0, false, false},
        {{"zeta=0.5"}, false, false, false, 0.0, true, false},   // a complex designed pair
        {{"alpha2=20"}, false, false, false, 0.0, true, false},   // the fast pole 11 % off -wn/2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.sets));
        const auto r = runOf(c.sets);
        const LoopsCaptionFacts f = loopsCaptionFacts(r->s);
        EXPECT_EQ(f.doubleToHalf, c.toHalf);
        EXPECT_EQ(f.slowStays, c.slow);
        EXPECT_EQ(f.originStays, c.origin);
        if (c.unstable > 0.0) {
            EXPECT_NEAR(f.unstablePole, c.unstable, 1e-6);
        } else {
            EXPECT_TRUE(std::isnan(f.unstablePole)) << f.unstablePole;
        }
        EXPECT_TRUE(f.designStable);
        EXPECT_EQ(f.originUnused[0], c.unused1);
        EXPECT_EQ(f.originUnused[1], c.unused2);
        EXPECT_EQ(f.force.model.size(), loopPoles(r->s)[1].model.size());
    }
}

// Settings at the edges of the doubles give every chart of the program in
// finite numbers: the run's (--plot), runs compared, a sweep, the loops'
// step (close up and whole) and s-plane, the study graphs and their
// cursor, with the default run beside each as the other run or the pin.
TEST(LoopsChart, EveryChartStaysFiniteWhateverTheSettings)
{
    const std::vector<std::vector<std::string>> settings = {
        {"Fn=5e-324"}, {"Fn=1e-320"}, {"Fn=2.2e-308"}, {"Fn=1e308"}, {"Fn=-1e308"}, {"Fn=0"},
        {"fn2=1e300"}, {"fn2=1e-300"}, {"fn1=1e-320"}, {"fn2=1e5"}, {"KH1=1e308"}, {"A=1e200"},
    };
    const auto plain = runOf({});
    for (const std::vector<std::string>& sets : settings) {
        SCOPED_TRACE(sets[0]);
        const auto r = runOf(sets);
        const SimSettings& s = r->s;
        const SeriesSet& set = r->set();
        const RunSummary sum = summarizeRun(s, set);
        const std::vector<OtherRun> others = {{&plain->s, &plain->set(), "pin 1", "#ff9900"}};
        const std::vector<ComparedRun> compared = {{"main", "", &s, &set}, {"default", "", &plain->s, &plain->set()}};
        SweepPlotInput sweep;
        sweep.names = {"Fn"};
        sweep.values = {{"10", sets[0]}};
        for (const auto* run : {plain.get(), r.get()}) {
            const RunSummary rs = summarizeRun(run->s, run->set());
            SweepPlotTask t{{run == r.get() ? sets[0] : "10"}, true, rs, run->s.Fn, {}, {}};
            for (int i = 0; i <= lastSample(run->s); ++i) t.time.push_back(run->set().time[i]);
            t.force = contactForceInReach(run->s, run->set());
            sweep.tasks.push_back(t);
        }
        StudyGraphs graphs;
        graphs.setWidth(640.0);
        graphs.setRuns({studyRun(s, set, "current run", studyRunColour(0)),
                        studyRun(plain->s, plain->set(), "pin 1", studyRunColour(1))});
        StudyGraphs alone;
        alone.setWidth(640.0);
        alone.setRuns({studyRun(s, set, "current run", studyRunColour(0))});
        const std::pair<const char*, std::string> charts[] = {
            {"run", chartSvg(runChart(s, set))},
            {"compared", chartSvg(compareChart(compared))},
            {"sweep", chartSvg(sweepChart(sweep))},
            {"step", chartSvg(loopsStepChart(s, set, sum, stepView(s, set, false), {}, 420.0))},
            {"whole step", chartSvg(loopsStepChart(s, set, sum, stepView(s, set, true), {}, 420.0))},
            {"step with a pin", chartSvg(loopsStepChart(s, set, sum, stepView(s, set, false), others, 420.0))},
            {"s-plane", chartSvg(loopsPolesChart(s, {}, 420.0))},
            {"s-plane with a pin", chartSvg(loopsPolesChart(s, others, 420.0))},
            {"study graphs", alone.svg()},
            {"study cursor", alone.cursorSvg(100)},
            {"study graphs with a pin", graphs.svg()},
            {"study cursor with a pin", graphs.cursorSvg(100)},
            {"frequency response", chartSvg(responseChart(s, others, 420.0))},
            {"root locus of fn2", chartSvg(rootLocusChart(s, LocusQuantity::fn2, others, 420.0))},
            {"root locus of alpha2", chartSvg(rootLocusChart(s, LocusQuantity::alpha2, others, 420.0))},
            {"the loops' figures", chartSvg(loopsFiguresChart(s, set, others))},
        };
        for (const auto& [what, svg] : charts) EXPECT_EQ(testing::svgFaults(svg), "") << what;
        EXPECT_TRUE(std::isfinite(alone.forceScale().lo) && std::isfinite(alone.forceScale().hi));
        EXPECT_TRUE(std::isfinite(graphs.forceScale().lo) && std::isfinite(graphs.forceScale().hi));
    }
}

}  // namespace
}  // namespace hybridsim
